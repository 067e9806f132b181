#include "foundation/WizardXMLProcessor.h"

#include <strings.h>

#include <cstring>
#include <string>

#include "control/BaseControl.h"
#include "control/WizardPlanBuilder.h"
#include "foundation/Trace.h"

namespace {

bool IsBlank(int c) {
    return c == ' ' || c == '\n' || c == '\r';
}

// Characters that end a word and come back as a token of their own.
bool EndsWord(int c) {
    return c == '=' || c == '>' || c == '<' || c == '"' || c == '\'';
}

// Element and attribute names: a letter or '_', then letters, digits, '_', '-', '.', ':'.
bool IsName(const char* token) {
    const auto letter = [](unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    if (!letter(token[0]) && token[0] != '_') return false;
    for (const char* p = token; *p; ++p) {
        const unsigned char c = *p;
        if (!letter(c) && !(c >= '0' && c <= '9') && !std::strchr("_-.:", c)) return false;
    }
    return true;
}

}  // namespace

WizardXMLProcessor::~WizardXMLProcessor() {
    CancelDownload();
}

bool WizardXMLProcessor::TokenIs(const char* text) const {
    return std::strcmp(token, text) == 0;
}

int WizardXMLProcessor::ReadChar(FILE* file) {
    if (pushedCount_ > 0) return pushed_[--pushedCount_];
    return std::fgetc(file);
}

void WizardXMLProcessor::PutBack(int c) {
    if (c != EOF && pushedCount_ < static_cast<int>(sizeof pushed_ / sizeof pushed_[0]))
        pushed_[pushedCount_++] = c;
}

void WizardXMLProcessor::NextToken(FILE* file) {
    size_t length = 0;
    tokenQuoted_ = false;
    tokenTooLong_ = false;
    auto keep = [&](int c) {
        if (length < kMaxTokenLength)
            token[length++] = static_cast<char>(c);
        else
            tokenTooLong_ = true;
    };
    int c = ReadChar(file);
    while (IsBlank(c)) c = ReadChar(file);
    while (c != EOF) {
        if (length == 0 && !tokenTooLong_) {
            if (c == '"' || c == '\'') {
                const int quote = c;
                tokenQuoted_ = true;
                while ((c = ReadChar(file)) != EOF && c != quote) keep(c);
                break;
            }
            if (c == '<') {
                const int next = ReadChar(file);
                if (next == '/') {
                    keep('<');
                    keep('/');
                } else {
                    PutBack(next);
                    keep('<');
                }
                break;
            }
            if (c == '=' || c == '>') {
                keep(c);
                break;
            }
            if (c == '/') {
                const int next = ReadChar(file);
                if (next == '>') {
                    keep('/');
                    keep('>');
                    break;
                }
                PutBack(next);
                keep(c);
                c = ReadChar(file);
                continue;
            }
        }
        if (IsBlank(c)) break;
        if (EndsWord(c)) {
            PutBack(c);
            break;
        }
        if (c == '/') {
            const int next = ReadChar(file);
            if (next == '>') {
                PutBack(next);
                PutBack(c);
                break;
            }
            PutBack(next);
        }
        keep(c);
        c = ReadChar(file);
    }
    token[length] = 0;
    if (tokenTooLong_)
        theTrace().WriteFormat("Wizard XML token longer than %zu characters", kMaxTokenLength);
}

bool WizardXMLProcessor::Fail(const char* kind, const char* message) {
    TraceAssert(false, kind, __FILE__, __LINE__, message);
    failed_ = true;
    return false;
}

bool WizardXMLProcessor::ParseFile(FILE* file) {
    failed_ = false;
    elementCount_ = 0;
    pushedCount_ = 0;
    if (!PRECONDITION(file != nullptr, "No wizard XML file")) return false;
    while (ParseElement(file, tree, 0)) {
        if (TokenIs("</")) return Fail("Precondition", "Invalid file format received in wizard");
    }
    return !failed_;
}

bool WizardXMLProcessor::ParseElement(FILE* file, KeyDataList& parent, int depth) {
    NextToken(file);
    if (token[0] == 0) {
        // The end of the file ends the document, but not an element still open.
        if (depth > 0) return Fail("Precondition", "Invalid format reading wizard XML");
        return false;
    }
    if (tokenQuoted_ || token[0] != '<')
        return Fail("Precondition", "Invalid file format received in wizard");
    if (TokenIs("</")) return true;
    if (depth >= kMaxDepth) return Fail("Precondition", "Wizard XML nested too deeply");
    if (++elementCount_ > kMaxElements)
        return Fail("Precondition", "Too many elements in wizard XML");

    NextToken(file);
    if (tokenTooLong_ || tokenQuoted_ || !IsName(token))
        return Fail("Precondition", "Invalid file format received in wizard");
    const std::string name = token;
    KeyDataList* list = parent.AddSublist(name);
    auto* element = static_cast<BaseKeyDataElement*>(parent.GetTail());
    if (!list) return Fail("Postcondition", "Wizard XML element not added");

    // A start tag that leaves the grammar leaves no element behind.
    auto failTag = [&](const char* kind, const char* message) {
        parent.DeleteNode(element);
        return Fail(kind, message);
    };
    int attributes = 0;
    NextToken(file);
    while (!TokenIs(">")) {
        if (TokenIs("/>")) {
            if (list->GetCount() == 0) parent.DeleteNode(element);
            return true;
        }
        if (tokenTooLong_ || tokenQuoted_ || !IsName(token))
            return failTag("Postcondition", "Unexpected token in wizard XML attrib");
        if (++attributes > kMaxAttributes)
            return failTag("Precondition", "Too many attributes in wizard XML");
        const std::string attribute = token;
        NextToken(file);
        if (!TokenIs("=") || tokenQuoted_)
            return failTag("Postcondition", "Unexpected token in wizard XML attrib");
        NextToken(file);
        if (!tokenQuoted_) return failTag("Precondition", "Value not in quotes");
        if (tokenTooLong_) return failTag("Precondition", "Wizard XML value too long");
        list->AddString(attribute, token);
        NextToken(file);
    }

    do {
        if (!ParseElement(file, *list, depth + 1)) return false;
    } while (!TokenIs("</"));

    NextToken(file);
    if (tokenQuoted_ || strcasecmp(token, name.c_str()) != 0)
        return Fail("Precondition", "Unmatching close XML node in wizard");
    NextToken(file);
    if (!TokenIs(">") || tokenQuoted_) return Fail("Precondition", "Invalid token ending");
    return true;
}

bool WizardXMLProcessor::Download(const char* address) {
    if (!StartDownload(address)) {
        theTrace().WriteFormat("Download failed %s", address ? address : "");
        return false;
    }
    return true;
}

int WizardXMLProcessor::OnDownloadComplete() {
    FILE* file = std::fopen(GetCacheFile(), "r");
    if (!file) {
        theTrace().WriteFormat("Wizard XML not readable %s", GetCacheFile());
        return 1;
    }
    const bool whole = ParseFile(file);
    std::fclose(file);
    read_ = whole && !tree.GetSublist("planXML")->IsEmpty();
    if (!buildOnArrival_) return 1;
    if (BaseControl* control = theControl()) {
        WizardPlanBuilder builder(*control);
        builder.Build(tree);
    }
    return 1;
}
