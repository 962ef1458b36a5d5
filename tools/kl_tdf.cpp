// kl_tdf: the result files of measurement series from the command line.
//   kl_tdf info FILE...          what each file holds
//   kl_tdf csv FILE [-o OUT] [--ru]
//                                the readings as CSV ("-" or no OUT: standard output);
//                                --ru: the form of a spreadsheet set up for Russian
// A file that cannot serve whole gives a message on standard error and exit
// status 1, and no CSV row: the output file appears only when complete.
#include "tdf_tool.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int kBadFile = 1;
constexpr int kUsage = 2;

const char kUsageText[] =
    "Использование:\n"
    "  kl_tdf info ФАЙЛ...          сведения о файлах результатов (.tdf)\n"
    "  kl_tdf csv ФАЙЛ [-o ВЫХОД] [--ru]\n"
    "                               записи файла в виде CSV; ВЫХОД \"-\" или без -o: стандартный вывод;\n"
    "                               --ru: для электронных таблиц с русскими настройками (поля через \";\",\n"
    "                               десятичная запятая), без него поля через \",\", десятичная точка\n";

int usage()
{
    std::fputs(kUsageText, stderr);
    return kUsage;
}

void complain(const std::string& file, const std::string& text)
{
    std::fprintf(stderr, "kl_tdf: %s: %s\n", file.c_str(), text.c_str());
}

int info(const std::vector<std::string>& files)
{
    TermDataFile series;
    int status = 0;
    bool first = true;
    for (const std::string& file : files) {
        TdfReadReport report;
        const std::string problem = tools::readWholeFile(file, series, report);
        if (!problem.empty()) {
            complain(file, problem);
            status = kBadFile;
            continue;
        }
        std::printf("%sФайл: %s\n%s", first ? "" : "\n", file.c_str(), tools::describe(series, report.version).c_str());
        first = false;
    }
    return std::fflush(stdout) == 0 ? status : kBadFile;
}

// Writes `text` to standard output, or to `path` through a new file that
// takes its place only when written whole.
bool writeOut(const std::string& path, const std::string& text, std::string& error)
{
    if (path == "-") {
        const bool ok = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
        if (!ok)
            error = "ошибка записи в стандартный вывод";
        return ok;
    }
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::filesystem::remove(temp);
            error = "не удаётся записать файл";
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        error = "не удаётся записать файл";
        return false;
    }
    return true;
}

int csv(const std::string& file, const std::string& outPath, tools::CsvForm form)
{
    TermDataFile series;
    TdfReadReport report;
    std::string problem = tools::readWholeFile(file, series, report);
    std::string text;
    if (problem.empty())
        tools::toCsv(series, text, problem, form);
    if (!problem.empty()) {
        complain(file, problem);
        return kBadFile;
    }
    if (!writeOut(outPath, text, problem)) {
        complain(outPath, problem);
        return kBadFile;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    if (command == "-h" || command == "--help") {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    std::vector<std::string> files;
    std::string outPath = "-";
    bool outGiven = false;
    tools::CsvForm form = tools::CsvForm::Standard;
    for (int i = 2; i < argc; ++i) {
        if (command == "csv" && std::strcmp(argv[i], "-o") == 0 && i + 1 < argc && !outGiven) {
            outPath = argv[++i];
            outGiven = true;
        } else if (command == "csv" && std::strcmp(argv[i], "--ru") == 0) {
            form = tools::CsvForm::Russian;
        } else {
            files.emplace_back(argv[i]);
        }
    }
    if (command == "info" && !files.empty())
        return info(files);
    if (command == "csv" && files.size() == 1)
        return csv(files[0], outPath, form);
    return usage();
}
