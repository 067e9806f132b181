#include "control/ServerPosts.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "control/BaseControl.h"
#include "control/Duzazododiza.h"
#include "foundation/HttpRequest.h"
#include "foundation/Registry.h"
#include "foundation/SerializableObject.h"
#include "foundation/Trace.h"
#include "platform/Files.h"

namespace {

std::string Format(const char* format, double value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string BuildBillOfMaterials(BaseControl& control) {
    std::string xml = "<?xml version='1.0' ?>";
    xml += "<plan>";
    xml += "<defaultsList>";
    xml += Format("<groundHeight default=\"%3.4f\" />", control.floorState.GetDouble(9));
    xml += Format("<wallHeight default=\"%3.4f\" />", control.wallState.GetDouble(5));
    xml += "</defaultsList>";
    xml += "<fileInformation name=\"";
    AppendXmlEscaped(xml, control.planName);
    xml += "\" metric=\"";
    xml += control.globalState.GetBoolean(7) ? 'y' : 'n';
    xml += "\" />";
    control.LockRender();
    {
        LinkedListIterator it(control.scene);
        it.LockList();
        for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
            if (auto* object = dynamic_cast<SerializableObject*>(node))
                object->WriteObjectInformation(xml);
        }
        it.UnlockList();
    }
    control.UnlockRender();
    xml += "</plan>";
    return xml;
}

bool ReadTraceUploadBody(const char* path, std::string* body) {
    if (!path || !body) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path, "rb"), &std::fclose);
    if (!file) return false;
    char head[kTraceHeadBytes];
    const size_t headRead = std::fread(head, 1, sizeof head, file.get());
    long size = 0;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) size = std::ftell(file.get());
    const long tailStart =
        size > static_cast<long>(kTraceTailBytes) ? size - static_cast<long>(kTraceTailBytes) : 0;
    char tail[kTraceTailBytes];
    size_t tailRead = 0;
    if (size > 0 && std::fseek(file.get(), tailStart, SEEK_SET) == 0)
        tailRead = std::fread(tail, 1, sizeof tail, file.get());
    std::string bytes(head, headRead);
    bytes.append(tail, tailRead);
    // Sent as text: up to the first zero byte.
    body->assign(bytes.c_str());
    return true;
}

bool PostToServer(const char* domain, const char* query, const std::string& body) {
    auto reply = std::make_unique<char[]>(kServerReplySize);
    const bool ok = DoHttpRequest(domain, query, reply.get(), kServerReplySize,
                                  body.empty() ? nullptr : body.c_str(), body.size());
    return POSTCONDITION(ok, "Post to server failed");
}

// ---- The control window's members ----------------------------------------------

platform::HRESULT CDuzazododiza::PostPlanXML() {
    const std::string document = BuildBillOfMaterials(*this);
    char query[BaseControl::kPathSize * 2];
    std::snprintf(query, sizeof query, "%s?billMat=1&userID=%s", kQueryEntrancePage,
                  GetUserID().c_str());
    PostToServer(query, document);
    return platform::S_OK;
}

void CDuzazododiza::PostToServer(const char* query, const std::string& body) {
    ::PostToServer(contentDomain, query, body);
}

void CDuzazododiza::UploadPreviousTrace(bool upload) {
    const char* errorPath = theTrace().ErrorPath();
    if (!errorPath || !*errorPath) return;
    std::string body;
    if (upload && ReadTraceUploadBody(errorPath, &body)) {
        char query[BaseControl::kPathSize * 2];
        std::snprintf(query, sizeof query, "%s?errPost=1&userID=%s&fileName=%s", kQueryEntrancePage,
                      GetUserID().c_str(), "Kivora_trace.txt");
        PostToServer(query, body);
    }
    platform::DeleteFile(errorPath);
}

void CDuzazododiza::QueryUserStatus() {
    ::PostToServer(contentDomain, kUserStatusPage, std::string());
}
