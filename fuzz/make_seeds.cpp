// Writes the fuzzer's starting corpus: one small patch for each shape the reader
// knows, well-formed and not.
//   velquin_fuzz_seeds FOLDER

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct Patch {
    Bytes bytes{'P', 'A', 'T', 'C', 'H'};

    Patch& number(unsigned value, int size)
    {
        for (int i = size - 1; i >= 0; --i)
            bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
        return *this;
    }
    Patch& literal(unsigned offset, const Bytes& data)
    {
        number(offset, 3).number(static_cast<unsigned>(data.size()), 2);
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    Patch& run(unsigned offset, unsigned length, unsigned char value)
    {
        number(offset, 3).number(0, 2).number(length, 2);
        bytes.push_back(value);
        return *this;
    }
    Patch& end() { return number(0x454F46, 3); }
};

bool write(const std::string& folder, const char* name, const Bytes& bytes)
{
    const std::string path = folder + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool whole = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && whole;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: velquin_fuzz_seeds FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const struct {
        const char* name;
        Bytes bytes;
    } seeds[] = {
        {"empty-patch", Patch().end().bytes},
        {"one-literal", Patch().literal(0x10, {1, 2, 3, 4}).end().bytes},
        {"run-and-size", Patch().run(0x20, 300, 0x5A).end().number(0x200, 3).bytes},
        {"descending-overlaps", Patch()
                                    .literal(0x200, {9, 9, 9})
                                    .literal(0x100, {1, 2})
                                    .literal(0x100, {3, 4})
                                    .literal(0x101, {7})
                                    .run(0x10, 0, 0xEE)
                                    .end()
                                    .number(0x40, 2)
                                    .bytes},
        {"past-any-source", Patch().literal(0xFFFFFF, {1, 2, 3}).run(0, 0, 1).end().bytes},
        {"size-then-more", Patch().literal(0x3FF, {0xAB, 0xCD}).end().number(0x300, 3).number(0xFFFF, 2).bytes},
        {"zero-size", Patch().literal(0x5, {0x42}).end().number(0, 3).bytes},
        {"truncated-record", Patch().literal(0x30, {1, 2, 3, 4}).number(0x40, 3).number(8, 2).number(1, 2).bytes},
        {"no-end-marker", Patch().literal(0x30, {1}).bytes},
        {"wrong-header", Bytes{'P', 'A', 'T', 'C', 'X', 'E', 'O', 'F'}},
        // A record cannot sit at 0x454F46: its offset is the end marker, and what follows
        // is the target size.
        {"record-at-marker", Patch().literal(0x10, {5}).literal(0x454F46, {0xAA, 0xBB, 0xCC}).bytes},
        {"only-target-size", Patch().end().number(0x123, 3).bytes},
        {"size-then-record", Patch().end().number(0x80, 3).literal(0x10, {1, 2}).end().bytes},
        {"empty-run-no-marker", Patch().run(0x10, 0, 0x77).bytes},
        // A record cut inside each of its fields, and the marker cut.
        {"cut-in-offset", Patch().literal(0x10, {1}).number(0x20, 2).bytes},
        {"cut-in-size", Patch().number(0x20, 3).number(0, 1).bytes},
        {"cut-in-data", Patch().number(0x20, 3).number(4, 2).number(0xABCD, 2).bytes},
        {"cut-in-run-length", Patch().number(0x20, 3).number(0, 2).number(1, 1).bytes},
        {"cut-in-run-value", Patch().number(0x20, 3).number(0, 2).number(16, 2).bytes},
        {"cut-in-marker", Patch().literal(0x10, {1}).number(0x454F, 2).bytes},
    };
    for (const auto& seed : seeds)
        if (!write(folder, seed.name, seed.bytes)) {
            std::fprintf(stderr, "cannot write %s/%s\n", folder.c_str(), seed.name);
            return 1;
        }
    return 0;
}
