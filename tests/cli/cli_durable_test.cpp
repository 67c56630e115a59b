// Outputs that outlast a power loss: the system calls of a real run, traced, show for each file
// written its last write to the temporary, then the temporary's sync, its rename to the final name
// and the sync of the folder holding that name, in that order.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>

#include "cli_support.h"

namespace fs = std::filesystem;

namespace {

struct Call {
    std::string name;
    std::string arguments;
    long result = -1;

    // The file a descriptor argument stands for, as the tracer shows it ("3</a/b>"): "" for none.
    std::string FilePath() const
    {
        const std::size_t open = arguments.find('<');
        const std::size_t close = arguments.find('>', open);
        return open == std::string::npos || close == std::string::npos
                   ? ""
                   : arguments.substr(open + 1, close - open - 1);
    }

    // The quoted strings among the arguments: the paths a rename is given.
    std::vector<std::string> Strings() const
    {
        std::vector<std::string> strings;
        for (std::size_t open = arguments.find('"'); open != std::string::npos;) {
            const std::size_t close = arguments.find('"', open + 1);
            if (close == std::string::npos) break;
            strings.push_back(arguments.substr(open + 1, close - open - 1));
            open = arguments.find('"', close + 1);
        }
        return strings;
    }
};

// The calls of a trace written with `strace -f -o`, in the order they ended; a call another
// thread's interrupted ("<unfinished ...>") is joined with its "<... resumed>" rest.
std::vector<Call> TracedCalls(const fs::path& log)
{
    std::vector<Call> calls;
    std::map<std::string, std::string> unfinished; // by thread
    std::ifstream file(log);
    for (std::string line; std::getline(file, line);) {
        const std::size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        const std::string thread = line.substr(0, space);
        std::string text = line.substr(line.find_first_not_of(' ', space));
        if (const std::size_t cut = text.find(" <unfinished ...>"); cut != std::string::npos) {
            unfinished[thread] = text.substr(0, cut);
            continue;
        }
        if (text.rfind("<... ", 0) == 0) {
            const std::size_t resumed = text.find("resumed>");
            if (resumed == std::string::npos) continue;
            text = unfinished[thread] + text.substr(resumed + 8);
        }
        const std::size_t open = text.find('(');
        const std::size_t equals = text.rfind(") = ");
        if (open == std::string::npos || equals == std::string::npos || equals < open) continue;
        calls.push_back({text.substr(0, open), text.substr(open + 1, equals - open - 1),
                         std::strtol(text.c_str() + equals + 4, nullptr, 10)});
    }
    return calls;
}

bool Traceable() { return std::system("strace -f -qq -o /dev/null true >/dev/null 2>&1") == 0; }

class DurableOutputs : public CliTest {};

TEST_F(DurableOutputs, EachFileIsSyncedBeforeItsRenameAndItsFolderAfter)
{
    if (!Traceable()) GTEST_SKIP() << "strace cannot trace processes here";
    WriteTestExr(Path("a.exr"), MakeTestFrame(2, 1, {-1.0, -2.0}));
    struct Case {
        std::string what;
        std::vector<std::string> arguments;
        std::string output; // the file whose writing is traced, from the run's folder
    };
    const Case cases[] = {
        {"PNG picture", {"apply", "a.exr", "-o", "png/"}, "png/a.png"},
        {"EXR output", {"apply", "--format", "exr", "a.exr", "-o", "exr/"}, "exr/a.exr"},
        {"report", {"apply", "a.exr", "-o", "shot/", "--report", "shot.json"}, "shot.json"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.what);
        const fs::path log = folder.string() + ".trace";
        const ToolRun run = Run(
            // LeakSanitizer cannot run under a tracer; the sanitizer build's tool is told so.
            test.arguments, {.runUnder = {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-f", "-qq", "-y",
                                          "-s", "0", "-o", log.string(), "-e",
                                          "trace=write,pwrite64,writev,fsync,fdatasync,rename,renameat,"
                                          "renameat2"}});
        const std::vector<Call> calls = TracedCalls(log);
        fs::remove(log);
        ASSERT_EQ(run.status, 0) << run.err;
        const fs::path final = (folder / test.output).lexically_normal();
        const auto at = [&](std::size_t from, auto matches) -> std::optional<std::size_t> {
            for (std::size_t i = from; i < calls.size(); ++i)
                if (matches(calls[i])) return i;
            return std::nullopt;
        };
        const std::optional<std::size_t> renamed = at(0, [&](const Call& call) {
            const std::vector<std::string> paths = call.Strings();
            return call.name.rfind("rename", 0) == 0 && call.result == 0 && paths.size() == 2 &&
                   (folder / paths[1]).lexically_normal() == final;
        });
        ASSERT_TRUE(renamed) << "no rename to " << test.output;
        const std::string temp = fs::path(calls[*renamed].Strings()[0]).filename().string();
        const auto onTemp = [&](const Call& call) { return fs::path(call.FilePath()).filename() == temp; };
        const auto isSync = [](const Call& call) { return call.name == "fsync" || call.name == "fdatasync"; };
        std::optional<std::size_t> lastWrite;
        for (std::size_t i = 0; i < *renamed; ++i)
            if (calls[i].name.find("write") != std::string::npos && calls[i].result > 0 && onTemp(calls[i]))
                lastWrite = i;
        ASSERT_TRUE(lastWrite) << "no write to the temporary " << temp;
        const std::optional<std::size_t> synced = at(
            *lastWrite, [&](const Call& call) { return isSync(call) && call.result == 0 && onTemp(call); });
        ASSERT_TRUE(synced && *synced < *renamed)
            << "the temporary is not synced between its last write and rename";
        const fs::path holder = fs::canonical(final.parent_path());
        EXPECT_TRUE(at(*renamed,
                       [&](const Call& call) {
                           return isSync(call) && call.result == 0 && fs::path(call.FilePath()) == holder;
                       }))
            << "the folder " << holder << " is not synced after the rename";
    }
}

} // namespace
