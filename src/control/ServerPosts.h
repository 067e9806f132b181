#pragma once

#include <cstddef>
#include <string>

class BaseControl;

// Exchanges of the control with the content server: the plan's bill of materials, the
// upload of a trace log left by a run that did not end cleanly, and the user-status
// request. Replies are not used; failures are traced and otherwise ignored.

constexpr const char* kQueryEntrancePage = "kvrQueryEntrance.aspx";
constexpr const char* kUserStatusPage = "GetUserStatus.aspx";
constexpr size_t kServerReplySize = 10000;
// What the trace upload sends of the log: its head and its tail.
constexpr size_t kTraceHeadBytes = 256;
constexpr size_t kTraceTailBytes = 1024;

// The bill-of-materials document of the control's scene: the defaults, the plan's name
// and units, then each top-level object's own XML (taken under the render lock).
std::string BuildBillOfMaterials(BaseControl& control);

// The body of a trace upload: the first 256 bytes of the file followed by its last 1024
// (the whole file when shorter), as text (it ends at a zero byte). False when the file
// does not open.
bool ReadTraceUploadBody(const char* path, std::string* body);

// Sends `body` (a GET without one) to `query` on the server `domain`; false, traced as
// "Post to server failed", when the request failed.
bool PostToServer(const char* domain, const char* query, const std::string& body);
