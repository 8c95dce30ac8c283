// The platform seam of the XML library on the host build (tests and fuzzing):
// POSIX files, stderr for the trace, UTF-8 as the narrow code page.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "xml/GrowBuffer.h"
#include "xml/Utf8.h"
#include "xml/XMLPlatform.h"
#include "xml/XMLString.h"
#include "xml/XMLValues.h"

namespace {

bool toUtf8(const xchar* text, std::string& out) {
    GrowBuffer bytes;
    const size_t n = xstrlen(text);
    if (n && !appendUtf16AsUtf8(text, n, bytes)) return false;
    out.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
}

XString systemMessage(int code) { return xmlNarrowToWide(std::strerror(code)); }

class PosixFileStream : public IXMLStream {
  public:
    ~PosixFileStream() override {
        if (m_fd >= 0) ::close(m_fd);
    }

    bool open(const xchar* path) {
        m_path = xstr(path);
        std::string name;
        if (!toUtf8(path, name)) return fail(EINVAL);
        m_fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0) return fail(errno);
        struct stat st;
        if (fstat(m_fd, &st) != 0) return fail(errno);
        // A folder cannot be opened as a file, as on Windows.
        if (S_ISDIR(st.st_mode)) return fail(EISDIR);
        return true;
    }

    bool read(void* buffer, uint32_t size, uint32_t* bytesRead) override {
        if (bytesRead) *bytesRead = 0;
        if (size == 0) return true;
        const ssize_t n = ::read(m_fd, buffer, size);
        if (n < 0) return fail(errno);
        if (bytesRead) *bytesRead = static_cast<uint32_t>(n);
        return true;
    }
    bool write(const void* buffer, uint32_t size, uint32_t* bytesWritten) override {
        if (bytesWritten) *bytesWritten = 0;
        if (size == 0) return true;
        const ssize_t n = ::write(m_fd, buffer, size);
        if (n < 0) return fail(errno);
        if (bytesWritten) *bytesWritten = static_cast<uint32_t>(n);
        return static_cast<uint32_t>(n) == size || fail(ENOSPC);
    }
    bool seek(int64_t distance, unsigned origin, uint64_t* newPosition) override {
        const int whence = origin == XML_SEEK_BEGIN ? SEEK_SET
                           : origin == XML_SEEK_END ? SEEK_END
                                                    : SEEK_CUR;
        const off_t p = lseek(m_fd, static_cast<off_t>(distance), whence);
        if (p < 0) return fail(errno);
        if (newPosition) *newPosition = static_cast<uint64_t>(p);
        return true;
    }
    bool setSize(uint64_t size) override {
        return seek(static_cast<int64_t>(size), XML_SEEK_BEGIN, nullptr) &&
               (ftruncate(m_fd, static_cast<off_t>(size)) == 0 || fail(errno));
    }
    bool getSize(uint64_t* size) override {
        struct stat st;
        if (fstat(m_fd, &st) != 0) return fail(errno);
        *size = static_cast<uint64_t>(st.st_size);
        return true;
    }
    bool flush() override { return fsync(m_fd) == 0 || fail(errno); }
    const xchar* getPath() override { return m_path.c_str(); }
    const xchar* getErrorText() override { return m_error.c_str(); }

  private:
    bool fail(int code) {
        m_error = systemMessage(code);
        return false;
    }
    int m_fd = -1;
    XString m_path;
    XString m_error;
};

}  // namespace

bool xmlOpenFileStream(const xchar* path, std::unique_ptr<IXMLStream>& stream, XString& errorText) {
    auto file = std::make_unique<PosixFileStream>();
    if (!file->open(path)) {
        errorText = xstr(file->getErrorText());
        return false;
    }
    stream = std::move(file);
    return true;
}

namespace {

bool writeAll(int fd, const void* bytes, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    while (size) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool readAll(int fd, std::string& out) {
    out.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.append(buffer, static_cast<size_t>(n));
    }
}

// Where no new file can be made beside the old one, the old file is
// rewritten in place; its bytes are kept first and written back when the new
// ones cannot be written whole.
bool rewriteInPlace(const std::string& target, const void* bytes, size_t size) {
    const int fd = ::open(target.c_str(), O_RDWR);
    if (fd < 0) return false;
    std::string old;
    bool ok = readAll(fd, old);
    if (ok) {
        ok = ::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, bytes, size) &&
             ::ftruncate(fd, static_cast<off_t>(size)) == 0 && fsync(fd) == 0;
        if (!ok && ::lseek(fd, 0, SEEK_SET) == 0 && writeAll(fd, old.data(), old.size()))
            (void)!::ftruncate(fd, static_cast<off_t>(old.size()));
    }
    ok = (::close(fd) == 0) && ok;
    return ok;
}

}  // namespace

bool xmlReplaceFile(const xchar* path, const void* bytes, size_t size) {
    std::string target;
    if (!path || !*path || !toUtf8(path, target)) return false;
    struct stat old;
    const bool oldFile = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    const size_t slash = target.rfind('/');
    std::string temp =
        (slash == std::string::npos ? std::string(".") : target.substr(0, slash)) + "/.sx-XXXXXX";
    const int fd = mkstemp(&temp[0]);
    if (fd < 0) {
        if (oldFile && (errno == EACCES || errno == EPERM || errno == EROFS))
            return rewriteInPlace(target, bytes, size);
        return false;
    }
    bool ok = writeAll(fd, bytes, size);
    if (ok && oldFile) {
        // The replacement keeps the old file's permissions and, where allowed, its owner.
        ok = fchmod(fd, old.st_mode & 07777) == 0;
        (void)!fchown(fd, old.st_uid, old.st_gid);
    }
    ok = ok && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && std::rename(temp.c_str(), target.c_str()) == 0) return true;
    unlink(temp.c_str());
    return false;
}

bool fileExists(const xchar* path, bool filesOnly) {
    std::string name;
    struct stat st;
    if (!path || !toUtf8(path, name) || stat(name.c_str(), &st) != 0) return false;
    return !filesOnly || !S_ISDIR(st.st_mode);
}

void xmlDebugOutput(const xchar* text) {
    std::string s;
    if (toUtf8(text, s)) std::fputs(s.c_str(), stderr);
}

XString xmlNarrowToWide(const char* text) {
    XString out;
    if (!text) return out;
    const size_t n = std::strlen(text);
    const uint8_t* b = reinterpret_cast<const uint8_t*>(text);
    for (size_t i = 0; i < n;) {
        char32_t c;
        size_t len = utf8::decodeChar(b + i, n - i, &c);
        if (!len || utf8::isInvalidCodePoint(c)) {
            c = b[i];  // not UTF-8: take the byte as Latin-1
            len = 1;
        }
        i += len;
        xchar units[2];
        out.append(units, utf8::putUtf16(c, units));
    }
    return out;
}

std::string xmlWideToNarrow(const XString& text) {
    std::string out;
    toUtf8(text.c_str(), out);
    return out;
}

namespace {
bool toTm(double value, std::tm& t) {
    unsigned y, mo, d, h, mi, s;
    if (!xmlDateToParts(value, y, mo, d, h, mi, s)) return false;
    t = std::tm{};
    t.tm_year = static_cast<int>(y) - 1900;
    t.tm_mon = static_cast<int>(mo) - 1;
    t.tm_mday = static_cast<int>(d);
    t.tm_hour = static_cast<int>(h);
    t.tm_min = static_cast<int>(mi);
    t.tm_sec = static_cast<int>(s);
    t.tm_isdst = -1;
    return true;
}
bool fromTm(const std::tm& t, double& value) {
    return xmlDateFromParts(static_cast<unsigned>(t.tm_year + 1900),
                            static_cast<unsigned>(t.tm_mon + 1), static_cast<unsigned>(t.tm_mday),
                            static_cast<unsigned>(t.tm_hour), static_cast<unsigned>(t.tm_min),
                            static_cast<unsigned>(t.tm_sec), value);
}
}  // namespace

bool xmlUtcToLocal(double utc, double& local) {
    std::tm t, l;
    if (!toTm(utc, t)) return false;
    const time_t seconds = timegm(&t);
    return localtime_r(&seconds, &l) && fromTm(l, local);
}

bool xmlLocalToUtc(double local, double& utc) {
    std::tm t, u;
    if (!toTm(local, t)) return false;
    const time_t seconds = mktime(&t);
    return gmtime_r(&seconds, &u) && fromTm(u, utc);
}
