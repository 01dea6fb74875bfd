#pragma once

#include <sys/resource.h>

// Makes every write beyond maxBytes in any file fail for as long as it lives: a disk that
// fills up half-way through a file, which even a superuser cannot write past.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t maxBytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};
