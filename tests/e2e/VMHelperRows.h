// The 23 interpreter support rows the script object runtime registers in every mode, in their
// order: the games that name every row share them.
#pragma once

inline const char* const kVMHelperRows[] = {
    "$ERROR",
    "ERROR",
    "testFailed",
    "@@typeof@@",
    "@@new@@",
    "@@delete@@",
    "@@try_hook@@",
    "@@try_unhook@@",
    "@@throw@@",
    "@@finish_catch@@",
    "@@finish_finally@@",
    "@@script_ref@@",
    "@@instanceof@@",
    "@@This@@",
    "@@Other@@",
    "@@GlobalScope@@",
    "@@NewHVSArray@@",
    "@@NewArray@@",
    "@@NewObject@@",
    "@@NewProperty@@",
    "@@ForInIterator@@",
    "@@ForInIteratorGetNext@@",
    "@@ForInIteratorDelete@@",
};
