#pragma once
// Where the test and benchmark programs find the built programs, the source
// tree and the shared test data. They are looked up at run time and not
// compiled in, so the objects of two clones in different folders are the same
// and the compiler cache serves the second clone from the first.
//
// A test or benchmark program lives in <build>/tests/ or <build>/bench/; the
// build folder's test_paths.txt, written when the tree is configured, names
// the source root and the test data folder.
#include <QString>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace vyr_test {

namespace paths_detail {

inline const std::string &build_dir()
{
    static const std::string dir = [] {
        char exe[4096];
        const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
        std::string path(exe, length > 0 ? size_t(length) : 0);
        // Up from the program to its folder, and from there to the build folder.
        for (int level = 0; level < 2; ++level)
            path = path.substr(0, path.rfind('/'));
        return path;
    }();
    return dir;
}

inline const std::string &configured(const std::string &key)
{
    static const std::map<std::string, std::string> values = [] {
        std::map<std::string, std::string> read;
        std::ifstream file(build_dir() + "/test_paths.txt");
        for (std::string line; std::getline(file, line);) {
            const size_t equals = line.find('=');
            if (equals != std::string::npos)
                read[line.substr(0, equals)] = line.substr(equals + 1);
        }
        return read;
    }();
    static const std::string none;
    const auto found = values.find(key);
    return found == values.end() ? none : found->second;
}

} // namespace paths_detail

// The built programs and their companions (vyr, vrbus, script_run, ...).
inline QString bin_dir()
{
    return QString::fromStdString(paths_detail::build_dir() + "/bin");
}

// The root of the source tree (demo/, tests/, run.sh, ...).
inline QString source_dir()
{
    return QString::fromStdString(paths_detail::configured("source"));
}

// The shared public test data folder as configured, whether it exists or not.
inline QString configured_testdata_dir()
{
    return QString::fromStdString(paths_detail::configured("testdata"));
}

} // namespace vyr_test
