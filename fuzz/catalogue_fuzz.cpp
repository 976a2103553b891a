// Any bytes as a catalogue file: loading stays within the input and never
// crashes; whatever loads saves to a file that loads to the same thing.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "catalogue/catalogue_format.h"
#include "catalogue/nfile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kumoya::TNFile file("fuzz.dat");
    if (file.LoadFromBytes(data, size) != kumoya::TNFile::kLoaded) return 0;
    std::vector<std::uint8_t> saved = file.SaveToBytes();
    kumoya::TNFile again("fuzz.dat");
    if (again.LoadFromBytes(saved.data(), saved.size()) != kumoya::TNFile::kLoaded) std::abort();
    if (again.SaveToBytes() != saved) std::abort();

    // The raw layout round-trips exactly once it is in its written form.
    kumoya::catalogue_format::Image image;
    kumoya::catalogue_format::Fault fault;
    if (!kumoya::catalogue_format::Parse(saved.data(), saved.size(), image, fault)) std::abort();
    if (kumoya::catalogue_format::Serialize(image) != saved) std::abort();
    return 0;
}
