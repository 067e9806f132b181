#pragma once

#include <cstddef>
#include <cstdio>

#include "foundation/DownloadableObject.h"
#include "foundation/KeyDataList.h"

// Reads the plan wizard's answers: a small XML form made of elements with attributes
// only. Each element becomes a sublist of its parent named after it (the top level's
// parent is `tree`), each attribute an element of that sublist, children further
// sublists in document order. A self-closing element without attributes is dropped.
//
// The input comes from outside, so every measure of it is bounded: words and quoted
// values are cut at kMaxTokenLength characters, elements nest at most kMaxDepth deep,
// at most kMaxElements elements and kMaxAttributes attributes per element are kept.
// Malformed input is written to the trace log; reading stops at the first place where
// the text leaves the grammar (text content, comments, declarations, a lost closing
// tag), and `tree` keeps what was read up to there.
class WizardXMLProcessor : public DownloadableObject {
public:
    static constexpr size_t kTokenSize = 256;
    static constexpr size_t kMaxTokenLength = kTokenSize - 1;
    static constexpr int kMaxDepth = 32;
    static constexpr int kMaxElements = 4096;
    static constexpr int kMaxAttributes = 64;

    WizardXMLProcessor() = default;
    ~WizardXMLProcessor() override;

    // Fetches the answers at `url` and, once they arrived, builds the plan from them.
    // False, with a trace, when the download failed.
    bool Download(const char* url);
    // Reads the cached file and builds the plan with the control's states. Returns 1.
    int OnDownloadComplete() override;

    // Reads every element of `file` into `tree`. False when the text left the grammar
    // or a bound was hit (what was read so far stays in `tree`).
    bool ParseFile(FILE* file);
    // Reads the next token of `file` into `token`; an empty token means end of file.
    void NextToken(FILE* file);
    // Reads one element (or the "</" ending the parent's children) into `parent`.
    // False when reading must stop.
    bool ParseElement(FILE* file, KeyDataList& parent, int depth = 0);

    // Whether an arrived download is built at once (the default); the reader of a
    // template turns it off and builds once the answers were read.
    void SetBuildOnArrival(bool flag) { buildOnArrival_ = flag; }
    // Whether the last arrived file was read whole and holds "planXML".
    bool WasRead() const { return read_; }

    const KeyDataList& GetTree() const { return tree; }
    KeyDataList& GetTree() { return tree; }
    const char* GetToken() const { return token; }

protected:
    KeyDataList tree;
    char token[kTokenSize] = {};

private:
    bool TokenIs(const char* text) const;
    int ReadChar(FILE* file);
    void PutBack(int c);
    // Traces the message, marks the reading as failed and answers false.
    bool Fail(const char* kind, const char* message);

    int elementCount_ = 0;
    bool failed_ = false;
    bool buildOnArrival_ = true;
    bool read_ = false;
    bool tokenQuoted_ = false;
    bool tokenTooLong_ = false;
    int pushed_[2] = {};
    int pushedCount_ = 0;
};
