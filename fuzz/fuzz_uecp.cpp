// SPDX-License-Identifier: MIT
// UECP framing for any text, address and elements: the frame decodes to
// what was given, holds no start or stop byte inside, and its check holds;
// and any bytes read as a reply are judged without a fault.
#include "fuzz_input.h"
#include "uecp.h"

#include <cstdlib>

namespace {

void check(bool property)
{
    if (!property)
        std::abort();
}

} // namespace

// Parts: four bytes of address and numbers, the elements, the text, bytes
// as an encoder might answer.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QList<QByteArray> parts = split_parts(data, size, 4);
    const QByteArray numbers = parts[0].leftJustified(4, '\0');
    const UecpAddress address{(uchar(numbers[0]) << 2 | uchar(numbers[1]) >> 6) & 0x3FF,
                              uchar(numbers[1]) & 0x3F};
    const int dsn = uchar(numbers[2]), psn = uchar(numbers[3]);

    const QByteArray elements = parts[1].left(255);
    const QByteArray frame = uecp_frame(address, elements);
    check(frame.front() == char(0xFE) && frame.back() == char(0xFF));
    const QByteArray inside = frame.mid(1, frame.size() - 2);
    check(!inside.contains(char(0xFE)) && !inside.contains(char(0xFF)));
    const std::optional<UecpFrame> decoded = uecp_decode(frame);
    check(decoded && decoded->address.site == address.site &&
          decoded->address.encoder == address.encoder && decoded->sequence == 0 &&
          decoded->elements == elements);

    // RadioText and PS from any text: the RDS characters only, the lengths
    // the elements say.
    const QByteArray text = rds_characters(to_text(parts[2]));
    for (const char c : text)
        check(uchar(c) >= 0x20 && !QByteArray("$^`~\x7F\xFF").contains(c));
    const QByteArray rt = uecp_radiotext(dsn, psn, text);
    check(rt.size() == 5 + qMin(int(text.size()), 64) && uchar(rt[3]) == rt.size() - 4);
    const std::optional<UecpFrame> rtFrame = uecp_decode(uecp_frame(address, rt));
    check(rtFrame && rtFrame->elements == rt);
    check(uecp_ps(dsn, psn, text).size() == 11);

    // A reply: judged, or passed over, never more.
    if (const std::optional<int> code = uecp_acknowledgement(parts[3]))
        check(*code >= 0 && *code <= 255 && !uecp_code_meaning(*code).isEmpty());
    return 0;
}
