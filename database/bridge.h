#pragma once

// The program's binding to the bridge library. Only four exports are used;
// they are bound by name at run time: the library is loaded from the program
// folder at the first call of any of them, and each export is looked up at its
// own first call. A missing library or export makes the call fail (the reason
// goes to standard error once) and the program goes on.

#include <string>

struct sqlite3;  // the engine's connection, opaque to the program

namespace tovani::bridge {

// Row callback: (user argument, column count, value texts, column names);
// returns 0 to go on with the next row.
using ExecCallback = int (*)(void* user, int columnCount, char** values, char** names);

// Engine result codes and open flags the program relies on.
constexpr int Ok = 0;
constexpr int Error = 1;       // what a call answers when the bridge is unusable
constexpr int OpenReadOnly = 1;
constexpr int OpenReadWrite = 2;  // an existing file only
constexpr int OpenReadWriteCreate = 6;
constexpr int OpenNoFollow = 0x01000000;  // added to every open: the file may not be a symbolic link

int rowgate_open_v2(const char* filename, sqlite3** db, int flags, const char* vfs);
int rowgate_exec(sqlite3* db, const char* sql, ExecCallback callback, void* user, char** errmsg);
const char* rowgate_errmsg(sqlite3* db);
int rowgate_close(sqlite3* db);

// Where the library is loaded from; by default the program folder's
// librowgate.so (Rowgate.dll on Windows), and nothing when the program folder is unknown. Takes effect
// only before the library has been loaded.
void setLibraryPath(const std::string& path);
std::string libraryPath();

}  // namespace tovani::bridge
