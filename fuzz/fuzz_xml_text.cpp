// SPDX-License-Identifier: MIT
// Decoding arbitrary text as XML content: no crash, never longer than the
// input, and text without "&" or "<" comes back unchanged.
#include "fuzz_input.h"
#include "xml_text.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString value = to_text(split_parts(data, size, 1)[0]);
    const QString text = decode_xml_text(value);
    if (text.size() > value.size())
        std::abort();
    if (!value.contains('&') && !value.contains('<') && text != value)
        std::abort();
    return 0;
}
