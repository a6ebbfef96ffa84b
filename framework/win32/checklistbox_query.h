#pragma once
// What a program in another process can ask a check list's window: the list keeps its
// ticks to itself, and its list box's data words hold only the items' data. Sent with
// the row in wParam, the message registered under this name answers the row's check,
// 0 for no such row.

constexpr const char kCheckListTickMessage[] = "Velquin.CheckListTick";
