// SPDX-License-Identifier: MIT
// The floor a pass is measured against: a program that loads Qt 5 Core and
// does nothing else.
#include <QtGlobal>

int main()
{
    return qVersion() == nullptr;
}
