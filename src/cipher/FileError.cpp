#include "cipher/FileError.h"

#include <cstring>

FileError FileError::fromErrno(int number)
{
    return {number, QString::fromLocal8Bit(std::strerror(number))};
}
