#pragma once
// The open-file dialog, reached through one dispatch slot. The engine module finds
// GetOpenFileNameW in the process by name when a page opens a file chooser; the window
// puts a real dialog in the slot, and a diversion may swap the slot for one call.
#include <cstdint>
#include <string>
#include <vector>

extern "C" {

// The fields the engine and the program use of the Windows record.
typedef struct OPENFILENAMEW {
    uint32_t lStructSize;
    char16_t* lpstrFile;  // result: a path, or a directory then file names, each NUL-ended,
                          // then one more NUL
    uint32_t nMaxFile;    // size of lpstrFile in characters
    uint32_t Flags;
    const char16_t* lpstrTitle;
} OPENFILENAMEW;

constexpr uint32_t OFN_ALLOWMULTISELECT = 0x00000200;

typedef int (*OpenFileDialogFunction)(OPENFILENAMEW* ofn);

// Calls the function in the slot; 0 means cancelled.
__attribute__((visibility("default"))) int GetOpenFileNameW(OPENFILENAMEW* ofn);
}

namespace platform {

// Puts `fn` in the slot and returns what was there. Null restores the default, which
// cancels (there is nobody to ask).
OpenFileDialogFunction SetOpenFileDialog(OpenFileDialogFunction fn);
OpenFileDialogFunction CurrentOpenFileDialog();

// Whether the engine, which looks GetOpenFileNameW up by name in the process's global scope,
// reaches this slot. The shared library exports it; when that library was loaded privately
// (dlopen RTLD_LOCAL) it is made global here first. False when the process would give the
// engine nothing (a program that links the code statically without exporting its symbols) or
// another function of that name: a diverted slot would then never be asked.
bool EngineReachesOpenFileDialog();

// The answer for several chosen files: their deepest common directory (ending in "/"),
// then each path relative to it, each NUL-ended, then one more NUL. Files of one directory
// thus give the directory and their bare names. `paths` are absolute.
std::u16string FileListAnswer(const std::vector<std::u16string>& paths);

}  // namespace platform
