// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// An open file descriptor, closed when it goes out of scope.
class Descriptor
{
public:
    Descriptor() = default;
    explicit Descriptor(int fd)
        : m_fd(fd)
    { }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(Descriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    { }
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        Descriptor(std::move(other)).swap(*this);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }
    // Hands the descriptor over to the caller, who closes it.
    [[nodiscard]] int release() { return std::exchange(m_fd, -1); }

private:
    void swap(Descriptor& other) noexcept { std::swap(m_fd, other.m_fd); }

    int m_fd = -1;
};

// Two looks at one file: the same device and inode, whatever names led to it.
inline bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
