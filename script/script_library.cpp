#include "script/script_library.h"

#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "settings/text_util.h"
#include "script/pcode_machine.h"
#include "script/script_compiler.h"
#include "script/script_source.h"
#include "script/script_symbol_table.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>

const char *script_builtin_header()
{
    static const std::string header = [] {
        std::string text = "\n__pragma_internal;\n"
                           "const M_PI = 3.14159265359;\n"
                           "const M_E  = 2.71828182846;\n"
                           "const SEEK_SET = 0;\n"
                           "const SEEK_CUR = 1;\n"
                           "const SEEK_END = 2;\n"
                           "\n";
        int count = 0;
        const ScriptBuiltin *builtins = script_builtins(&count);
        for (int k = 0; k < count; ++k)
            text += std::string(builtins[k].declaration) + ";\n";
        return text;
    }();
    return header.c_str();
}

int register_script_builtins(ScriptCompiler *compiler)
{
    ScriptStringSource header;
    header.set_text(script_builtin_header());
    compiler->source = &header;
    if (compiler->compile() == 0) {
        int count = 0;
        const ScriptBuiltin *builtins = script_builtins(&count);
        for (int k = 0; k < count; ++k)
            compiler->machine->bind_native_by_name(*compiler->symbols, builtins[k].name, builtins[k].native);
    }
    // The header source ends here; leaving the compiler pointing at it
    // would let the next compile read freed memory.
    compiler->source = nullptr;
    return 0;
}

// ---------------------------------------------------------------------------

ScriptLibrary::ScriptLibrary(PCodeMachine *machine)
    : machine(machine),
      sleeper([](int64_t milliseconds) {
          while (milliseconds > 0) {
              const int64_t step = std::min<int64_t>(milliseconds, UINT_MAX);
              sleep_ms(unsigned(step));
              milliseconds -= step;
          }
      }),
      clock([] { return std::time(nullptr); })
{
}

ScriptLibrary::~ScriptLibrary()
{
    // Scripts need not close their files; the streams go with the library.
    for (auto &open : files_)
        std::fclose(open.second);
}

void ScriptLibrary::print(const char *text)
{
    if (print_callback) {
        print_callback(text);
    } else {
        std::printf("%s", text);
        std::fflush(stdout);
    }
}

QtbConfig &ScriptLibrary::ini_file(const char *file_name)
{
    if (!ini_ || ini_name_ != file_name) {
        ini_name_ = file_name;
        ini_ = std::make_unique<QtbConfig>(QFile::decodeName(file_name));
        // A missing file leaves the configuration empty; what the reader
        // had to skip in a file it read goes to the debug trace.
        if (ini_->read() > 0) {
            for (const std::string &warning : ini_->warnings())
                debug_trace("ScriptLibrary::ini_file: %s", warning.c_str());
        }
    }
    return *ini_;
}

void ScriptLibrary::reset_ini_file()
{
    ini_.reset();
    ini_name_.clear();
}

int ScriptLibrary::open_file(const char *file_name, const char *mode)
{
    std::FILE *stream = std::fopen(file_name, mode);
    if (!stream) {
        debug_trace("ScriptLibrary::open_file: fopen of %s failed: %s", file_name ? file_name : "(null)",
                    std::strerror(errno));
        return 0;
    }
    // Handles count up from 1 and wrap before 0x80000000, skipping those in use.
    while (files_.count(next_handle_))
        next_handle_ = next_handle_ == INT32_MAX ? 1 : next_handle_ + 1;
    const int32_t handle = next_handle_;
    next_handle_ = next_handle_ == INT32_MAX ? 1 : next_handle_ + 1;
    files_[handle] = stream;
    return handle;
}

std::FILE *ScriptLibrary::file(int32_t handle) const
{
    const auto open = files_.find(handle);
    return open == files_.end() ? nullptr : open->second;
}

void ScriptLibrary::close_file(int32_t handle)
{
    const auto open = files_.find(handle);
    if (open == files_.end())
        return;
    std::fclose(open->second);
    files_.erase(open);
}

int ScriptLibrary::next_random()
{
    // The classic linear congruential generator of the C library's own
    // example, with values from 0 to 32767.
    random_state_ = random_state_ * 1103515245u + 12345u;
    return int((random_state_ / 65536u) % 32768u);
}
