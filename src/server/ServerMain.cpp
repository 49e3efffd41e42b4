// korvante-server: the drive database's web server, or the export of one upload's block.
//   korvante-server --port N --database FILE [--bind ADDRESS] [--quota-mib N]
//   korvante-server --export-block ID --database FILE --out PATH
#include <httplib.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "server/DatabaseServer.h"
#include "server/DriveStore.h"

namespace {

struct Options {
    std::string Database;
    std::string Bind = "127.0.0.1";
    long Port = -1;
    long long ExportId = -1;
    std::string Out;
    int64_t QuotaBytes = UploadLimits{}.QuotaBytes;
};

constexpr long long MaxQuotaMib = 1ll << 30;  // a pebibyte, far beyond any disk

bool ParseNumber(const std::string& text, long long low, long long high, long long& value) {
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value >= low && value <= high;
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i], value = argv[i + 1];
        long long number = 0;
        if (name == "--database") options.Database = value;
        else if (name == "--bind") options.Bind = value;
        else if (name == "--out") options.Out = value;
        else if (name == "--port" && ParseNumber(value, 1, 65535, number)) options.Port = static_cast<long>(number);
        else if (name == "--export-block" && ParseNumber(value, 1, INT64_MAX, number)) options.ExportId = number;
        else if (name == "--quota-mib" && ParseNumber(value, 1, MaxQuotaMib, number)) options.QuotaBytes = number << 20;
        else return false;
    }
    if (argc % 2 == 0 || options.Database.empty()) return false;
    return options.ExportId > 0 ? !options.Out.empty() : options.Port > 0;
}

int ExportBlock(DriveStore& store, const Options& options) {
    std::string block, why;
    if (!LoadUploadBlock(store, options.ExportId, block, why)) {
        std::cerr << why << "\n";
        return 1;
    }
    std::ofstream out(options.Out, std::ios::binary | std::ios::trunc);
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    out.close();
    if (!out) {
        std::cerr << "cannot write " << options.Out << "\n";
        return 1;
    }
    return 0;
}

int Serve(DriveStore& store, const Options& options) {
    UploadGate gate;
    gate.Limits.QuotaBytes = options.QuotaBytes;
    gate.DatabasePath = options.Database;
    httplib::Server server;
    InstallRoutes(server, store, gate);
    if (BindServer(server, options.Bind, static_cast<int>(options.Port)) < 0) {
        std::cerr << "cannot listen on " << options.Bind << ":" << options.Port << "\n";
        return 1;
    }
    std::cout << "korvante-server on " << options.Bind << ":" << options.Port << ", database " << options.Database
              << std::endl;
    return server.listen_after_bind() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << "usage: korvante-server --port N --database FILE [--bind ADDRESS] [--quota-mib N]\n"
                     "       korvante-server --export-block ID --database FILE --out PATH\n";
        return 2;
    }
    DriveStore store;
    std::string why;
    // an export reads a database that exists; a mistyped path must not become an empty one
    const bool exporting = options.ExportId > 0;
    const bool opened = exporting ? OpenDriveStoreReadOnly(options.Database, store, why)
                                  : OpenDriveStore(options.Database, store, why);
    if (!opened) {
        std::cerr << why << "\n";
        return 1;
    }
    const int result = exporting ? ExportBlock(store, options) : Serve(store, options);
    CloseDriveStore(store);
    return result;
}
