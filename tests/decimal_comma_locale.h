// A German locale for the tests of what numbers look like: the C library's printf then
// writes "83,00" as it does on a German desktop. Machines that build often have no locale
// but C installed, so the locale is compiled from the system's sources (localedef) into a
// folder of its own, found through LOCPATH, and removed as the test program ends.
#pragma once

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace vx414::testing {

class DecimalCommaLocale {
public:
    // Switches LC_NUMERIC to de_DE; ok() tells whether printf now writes a decimal comma.
    DecimalCommaLocale()
    {
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
            std::string folder = (std::filesystem::temp_directory_path() / "vx414-locale-XXXXXX").string();
            if (mkdtemp(folder.data()) != nullptr) {
                folder_ = folder;
                const std::string command = "localedef -c -i de_DE -f UTF-8 '" + folder + "/de_DE.UTF-8' >/dev/null 2>&1";
                if (std::system(command.c_str()) >= 0) {
                    setenv("LOCPATH", folder.c_str(), 1);
                    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
                }
            }
        }
        char text[16] = {};
        std::snprintf(text, sizeof text, "%.1f", 1.5);
        ok_ = std::string(text) == "1,5";
    }
    ~DecimalCommaLocale()
    {
        std::setlocale(LC_NUMERIC, "C");
        if (!folder_.empty()) {
            unsetenv("LOCPATH");
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

    bool ok() const { return ok_; }

private:
    std::string folder_;
    bool ok_ = false;
};

}  // namespace vx414::testing
