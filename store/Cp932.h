// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <string>
#include <string_view>

// The settings file is in the Windows variant of Shift-JIS; everything inside
// the program is Unicode. These are the only two crossings.
namespace Cp932 {

// Bytes that are not valid CP932 read as "・", so whatever is read can be
// written back and read again unchanged.
QString decode(std::string_view bytes);

// Characters CP932 cannot hold become "?".
std::string encode(const QString &text);

bool canEncode(const QString &text);

}
