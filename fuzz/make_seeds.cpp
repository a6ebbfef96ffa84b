// Writes the fuzzer's starting corpus: one small patch for each shape the reader
// knows, well-formed and not.
//   velquin_fuzz_seeds FOLDER

#include <cstdio>
#include <exception>
#include <string>

#include "tests/support/files.h"
#include "tests/support/ips.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: velquin_fuzz_seeds FOLDER\n");
        return 2;
    }
    using support::Ips;
    const struct {
        const char* name;
        support::Bytes bytes;
    } seeds[] = {
        {"empty-patch", Ips().eof().bytes()},
        {"one-literal", Ips().literal(0x10, {1, 2, 3, 4}).eof().bytes()},
        {"run-and-size", Ips().run(0x20, 300, 0x5A).eof().size3(0x200).bytes()},
        {"descending-overlaps", Ips()
                                    .literal(0x200, {9, 9, 9})
                                    .literal(0x100, {1, 2})
                                    .literal(0x100, {3, 4})
                                    .literal(0x101, {7})
                                    .run(0x10, 0, 0xEE)
                                    .eof()
                                    .number(0x40, 2)
                                    .bytes()},
        {"past-any-source", Ips().literal(0xFFFFFF, {1, 2, 3}).run(0, 0, 1).eof().bytes()},
        {"size-then-more", Ips().literal(0x3FF, {0xAB, 0xCD}).eof().size3(0x300).number(0xFFFF, 2).bytes()},
        {"zero-size", Ips().literal(0x5, {0x42}).eof().size3(0).bytes()},
        {"truncated-record", Ips().literal(0x30, {1, 2, 3, 4}).number(0x40, 3).number(8, 2).number(1, 2).bytes()},
        {"no-end-marker", Ips().literal(0x30, {1}).bytes()},
        {"wrong-header", support::Bytes{'P', 'A', 'T', 'C', 'X', 'E', 'O', 'F'}},
        // A record cannot sit at 0x454F46: its offset is the end marker, and what follows
        // is the target size.
        {"record-at-marker", Ips().literal(0x10, {5}).literal(0x454F46, {0xAA, 0xBB, 0xCC}).bytes()},
        {"only-target-size", Ips().eof().size3(0x123).bytes()},
        {"size-then-record", Ips().eof().size3(0x80).literal(0x10, {1, 2}).eof().bytes()},
        {"empty-run-no-marker", Ips().run(0x10, 0, 0x77).bytes()},
        // A record cut inside each of its fields, and the marker cut.
        {"cut-in-offset", Ips().literal(0x10, {1}).number(0x20, 2).bytes()},
        {"cut-in-size", Ips().number(0x20, 3).number(0, 1).bytes()},
        {"cut-in-data", Ips().number(0x20, 3).number(4, 2).number(0xABCD, 2).bytes()},
        {"cut-in-run-length", Ips().number(0x20, 3).number(0, 2).number(1, 1).bytes()},
        {"cut-in-run-value", Ips().number(0x20, 3).number(0, 2).number(16, 2).bytes()},
        {"cut-in-marker", Ips().literal(0x10, {1}).number(0x454F, 2).bytes()},
    };
    try {
        for (const auto& seed : seeds)
            support::writeFile(support::joinPath(argv[1], seed.name), seed.bytes);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
