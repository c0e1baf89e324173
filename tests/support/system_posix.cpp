#include "support/system.h"

#include <iconv.h>

#include <cstdlib>
#include <stdexcept>

namespace tovani::test {

const char* const libraryWithoutTheBridge = "libm.so.6";

void setEnvironment(const std::string& name, const std::string& value) {
    if (::setenv(name.c_str(), value.c_str(), 1) != 0) throw std::runtime_error("setenv " + name);
}

void unsetEnvironment(const std::string& name) { ::unsetenv(name.c_str()); }

std::string toShiftJis(const std::string& utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 encoder");
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) throw std::runtime_error("not encodable as Shift_JIS: " + utf8);
    out.resize(out.size() - outLeft);
    return out;
}

}  // namespace tovani::test
