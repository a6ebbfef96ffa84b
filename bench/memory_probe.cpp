// One LoadPatch and one ApplyPatch and nothing else, so that the parent can read
// this process's peak resident size. With no arguments it does nothing, which gives
// the size of an empty process for comparison.
//   velquin_memory_probe [source patch destination]

#include <cstdio>

#include "framework/checklistbox.h"
#include "framework/portable/report_record.h"
#include "patch/hunkset.h"

int main(int argc, char** argv)
{
    if (argc == 1)
        return 0;
    if (argc != 4) {
        std::fprintf(stderr, "usage: velquin_memory_probe [source patch destination]\n");
        return 2;
    }
    CHunkSet set;
    CCheckListBox list;
    if (!set.LoadPatch(argv[2], list))
        return 1;
    set.ApplyPatch(argv[1], argv[3], list);
    const auto& reports = recordedReports();
    if (reports.size() != 1 || reports[0].text != "Patching completed successfully.") {
        std::fprintf(stderr, "%s\n", reports.empty() ? "no report" : reports.back().text.c_str());
        return 1;
    }
    std::remove(argv[3]);
    return 0;
}
