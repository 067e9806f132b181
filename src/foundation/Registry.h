#pragma once

#include <cstddef>
#include <string>

// Per-user settings under the product's key of the current user ("Software\Kivora\").
// `subkey` is a path below it, its names joined by '\' ("defaults\wall\", "logs\",
// or "" for the product key itself). A key path longer than 259 characters is
// refused. Opening a key creates it, so reading a value under a missing key leaves
// that key behind, empty.

// Writes an 8-byte binary value holding the double (little-endian IEEE).
bool RegistrySetDouble(const char* subkey, const char* name, double value);
// Sets *value to 0.0, then reads it; false (and 0.0) when the value is missing or
// is not exactly 8 bytes long.
bool RegistryGetDouble(const char* subkey, const char* name, double* value);

// Writes a text value without its terminating zero; texts are cut at 259
// characters. A null or empty text writes nothing and answers false.
bool RegistrySetString(const char* subkey, const char* name, const char* text);
// Copies the stored text (at most 259 characters of it) into `buffer`, at most
// size-1 characters and always terminated. False, with the buffer unchanged, when
// the value is missing.
bool RegistryGetString(const char* subkey, const char* name, char* buffer, size_t size);

// Deletes the key with everything below it; true when it is gone.
bool RegistryDeleteKey(const char* subkey);

// The identity of the signed-in user (value "UID" of the product key, at most 63
// characters); "0", with a postcondition in the trace, when none is stored.
std::string GetUserID();
bool SetUserID(const char* id);
