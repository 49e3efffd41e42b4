// Arbitrary bytes as a machine description file, in a folder that holds page files of the sizes the
// keys take ("a": 512 bytes, "b": 4096, "c": 564, "d": 64). A refused file must say why; an accepted
// one must describe drives the simulated machine can install.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/sim/SimMachine.h"

namespace {

const std::string& Folder() {
    static const std::string folder = [] {
        const std::string made = "/tmp/korvante-fuzz-machine-" + std::to_string(::getpid()) + "/";
        std::system(("mkdir -p " + made).c_str());
        const struct { const char* name; size_t size; } pages[] = {{"a", 512}, {"b", 4096}, {"c", 564}, {"d", 64}};
        for (const auto& p : pages) std::ofstream(made + p.name, std::ios::binary) << std::string(p.size, '\x5A');
        return made;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = Folder() + "machine.txt";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    sim::Machine machine;
    std::string error;
    if (!sim::LoadMachineFile(path, machine, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    sim::Install(machine);
    return 0;
}
