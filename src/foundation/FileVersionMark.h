#pragma once

// A library or program states its version inside its file, where the installer reads it
// without loading the code: the mark's prefix followed by four numbers separated by
// commas ("1,0,0,22"). Put KIVORA_FILE_VERSION_MARK("a,b,c,d") once in one source file
// of the deliverable.
#define KIVORA_FILE_VERSION_PREFIX "KIVORA-FILE-VERSION:"

#define KIVORA_FILE_VERSION_MARK(version)                                                   \
    namespace {                                                                             \
    [[gnu::used]] const char kKivoraFileVersionMark[] = KIVORA_FILE_VERSION_PREFIX version; \
    }
