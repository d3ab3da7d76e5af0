// obktool's command line: the options of each command, and the console.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/obktool.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <shellapi.h>  // needs windows.h first
#else
#include <unistd.h>
#endif

namespace {

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

// The arguments as UTF-8 on every platform: Windows hands a C main only the
// ANSI code page, which cannot name every file.
std::vector<std::string> Arguments(int argc, char** argv) {
    std::vector<std::string> args;
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide && i < count; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(n > 0 ? n - 1 : 0), '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
        args.push_back(std::move(arg));
    }
    LocalFree(wide);
    SetConsoleOutputCP(CP_UTF8);
#else
    args.assign(argv, argv + argc);
#endif
    return args;
}

// Standard output is what a script reads; a listing cut short by a full
// disk or a closed pipe must not pass for a whole one.
bool FlushStandardOutput() {
    errno = 0;
    std::cout.flush();  // with stdio in step, this is the fflush that fails
    if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good()) return true;
    std::fprintf(stderr, "obktool: standard output: cannot be written%s%s%s\n", errno ? " (" : "",
                 errno ? std::strerror(errno) : "", errno ? ")" : "");
    return false;
}

int Report(const obktool::Outcome& outcome) {
    if (!outcome.message.empty()) std::fprintf(stderr, "obktool: %s\n", outcome.message.c_str());
    return static_cast<int>(outcome.status);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace obktool;
    RemoveTemporariesOnInterrupt();
    CLI::App app{
        "obktool: make, change and check OBK bitmap containers (PE images whose "
        "RT_BITMAP resources have numeric IDs).\nExit status: 0 done, 1 failed, "
        "2 usage error. IDS: 5, 5-100 or 5,7,9-12; IDs run from 1 to 65535, and 0 names "
        "a bitmap a file already holds.\nA bitmap held in several languages is read in "
        "the same one on every machine: language-neutral (0), else English (United States, "
        "0x409), else the lowest language ID.",
        "obktool"};
    app.set_version_flag("--version", "obktool " ORVIX_VERSION);
    app.require_subcommand(1);
    app.fallthrough();
    bool quiet = false, json = false, force = false, flag = false, is64 = false, strict = false;
    double wait = 5;
    std::string file, folder, bmp, ids, oldId, newId, output, from, onConflict = "fail";
    std::string format = "bmp";
    std::optional<std::string> start;
    app.add_flag("-q,--quiet", quiet, "print nothing but failures");

    CLI::App* list = app.add_subcommand("list",
                                        "one row per bitmap: ID, bytes, size, bits, "
                                        "compression");
    list->add_option("FILE", file, "container")->required();
    list->add_flag("--json", json, "a JSON array of {id,size,width,height,bitDepth,compression}");

    CLI::App* info = app.add_subcommand("info",
                                        "format, bitmap count, bytes, ID range, and "
                                        "what a save would not keep");
    info->add_option("FILE", file, "container")->required();
    info->add_flag("--json", json, "a JSON object");

    CLI::App* extract =
        app.add_subcommand("extract", "write bitmaps as %05d.bmp (or %05d.png) files");
    extract->add_option("FILE", file, "container")->required();
    extract->add_option("IDS", ids, "IDs to extract (default: all)");
    extract->add_option("-o,--output", folder, "folder (made when missing)")->required();
    extract->add_flag("--force", force, "replace existing files");
    extract->add_option("--format", format, "bmp (the bitmaps as they are) or png")
        ->check(CLI::IsMember({"bmp", "png"}));

    CLI::App* add = app.add_subcommand("add", "store a .bmp file or a PNG image under an ID");
    add->add_option("FILE", file, "container")->required();
    add->add_option("ID", ids, "resource ID")->required();
    add->add_option("BMP", bmp, ".bmp or PNG file (told apart by content)")->required();
    add->add_flag("--replace", flag, "replace the bitmap already under ID");

    CLI::App* remove = app.add_subcommand("remove", "delete bitmaps");
    remove->add_option("FILE", file, "container")->required();
    remove->add_option("IDS", ids, "IDs to delete")->required();

    CLI::App* renumber = app.add_subcommand("renumber", "move a bitmap to another ID");
    renumber->add_option("FILE", file, "container")->required();
    renumber->add_option("OLD", oldId, "its ID")->required();
    renumber->add_option("NEW", newId, "the new ID")->required();
    renumber->add_flag("--overwrite", flag, "replace the bitmap already under NEW");

    CLI::App* import =
        app.add_subcommand("import", "store a folder of %05d.bmp and %05d.png files");
    import->add_option("FILE", file, "container")->required();
    import->add_option("DIR", folder, "folder")->required();
    import->add_option("--start", start,
                       "number the files from this ID, in name order "
                       "(default: each file's own number)");
    import
        ->add_option("--on-conflict", onConflict,
                     "for an ID already held: fail (default), "
                     "overwrite or skip")
        ->check(CLI::IsMember({"fail", "overwrite", "skip"}));

    CLI::App* create = app.add_subcommand("new", "write a new container");
    create->add_option("OUT", file, "the new container")->required();
    create->add_flag("--64", is64, "PE32+ (x86-64) instead of PE32 (x86)");
    create->add_option("--from", from, "a %05d.bmp/.png folder or one .bmp or PNG file");
    create->add_option("--start", start, "folder: number from this ID; file: its ID (101)");
    create->add_flag("--force", force, "replace an existing OUT");

    for (CLI::App* changing : {add, remove, renumber, import}) {
        changing->add_option("-o,--output", output, "write the result here, not in place");
        changing
            ->add_option("--wait", wait,
                         "seconds to wait while another process changes the file (default 5)")
            ->check(CLI::NonNegativeNumber);
        changing->add_flag("--strict", strict,
                           "fail, changing nothing, when the file holds what a save does not "
                           "keep (named bitmaps, other languages, other resource types)");
    }

    const std::vector<std::string> args = Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& arg : args)
        pointers.push_back(arg.c_str());
    // CLI11 would only say that a command is missing.
    if (args.size() > 1 && !args[1].empty() && args[1][0] != '-') {
        bool known = false;
        for (const CLI::App* sub : app.get_subcommands({}))
            known = known || sub->check_name(args[1]);
        if (!known) {
            return Report(Outcome::Usage(
                "'" + args[1] +
                "' is not a command: list, info, extract, add, remove, renumber, import, new"));
        }
    }
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {  // --help, --version
            const int status = app.exit(e);
            return FlushStandardOutput() ? status : 1;
        }
        return Report(Outcome::Usage(std::string(e.what()) + " (obktool --help)"));
    }

    try {
        std::string out;
        Common c;
        c.quiet = quiet;
        c.json = json;
        c.force = force;
        c.strict = strict;
        c.output = WideArg(output);
        c.wait = wait;
        c.out = &out;
        c.warn = [](const std::string& line) {
            std::fprintf(stderr, "obktool: warning: %s\n", line.c_str());
        };
        const std::string verb = app.get_subcommands().front()->get_name();
        if (ShowsProgress(StderrIsTerminal(), quiet, json)) {
            c.progress = [&verb](std::size_t done, std::size_t total) {
                std::fputs(ProgressLine(verb, done, total).c_str(), stderr);
            };
        }
        const std::wstring path = WideArg(file);
        Outcome outcome;
        if (list->parsed()) outcome = List(c, path);
        if (info->parsed()) outcome = Info(c, path);
        if (extract->parsed()) outcome = Extract(c, path, ids, WideArg(folder), format == "png");
        if (add->parsed()) outcome = Add(c, path, ids, WideArg(bmp), flag);
        if (remove->parsed()) outcome = Remove(c, path, ids);
        if (renumber->parsed()) outcome = Renumber(c, path, oldId, newId, flag);
        if (import->parsed()) {
            outcome = Import(c, path, WideArg(folder), start, *ParseOnConflict(onConflict));
        }
        if (create->parsed()) outcome = New(c, path, is64, WideArg(from), start);
        const bool whole = std::fwrite(out.data(), 1, out.size(), stdout) == out.size();
        if (!FlushStandardOutput() || !whole) {
            Report(outcome);
            return static_cast<int>(Status::Failed);
        }
        return Report(outcome);
    } catch (const std::exception& e) {
        return Report(Outcome::Fail(e.what()));
    }
}
