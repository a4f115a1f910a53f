// A folder of its own for one test, removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace lexavo::test {

class TempDir {
public:
    TempDir() {
        char templ[] = "/tmp/lexavo-test-XXXXXX";
        path_ = ::mkdtemp(templ) ? templ : "/tmp";
    }
    ~TempDir() {
        std::error_code ec;
        if (path_ != "/tmp") std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::string Write(const std::string& name, const std::string& content) const {
        const std::string p = File(name);
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }

private:
    std::string path_;
};

}  // namespace lexavo::test
