// SPDX-License-Identifier: GPL-3.0-or-later

#include "cipher/FileError.h"

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

FileError FileError::fromErrno(int number)
{
    return {number, QString::fromLocal8Bit(std::strerror(number))};
}

FileError FileError::outputIsInput()
{
    return {EEXIST, u"The output name leads back to this file itself"_s};
}

FileError FileError::nameTooShort()
{
    return {EINVAL, u"The name is too short to remove four characters"_s};
}

FileError FileError::inputChanged()
{
    return {EBUSY, u"The file changed while it was being read"_s};
}

FileError FileError::tooSmall()
{
    return {0, u"File Too small"_s, Input, TooSmall};
}

FileError FileError::noKey()
{
    return {0, u"No key given!"_s, Input, NoKey};
}
