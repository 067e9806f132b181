#include "interaction/TraceImageModel.h"

#include <cmath>
#include <cstring>
#include <string>

#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"

TraceImageModel::TraceImageModel(const char* url) {
    StoreURL(url);
}

bool TraceImageModel::StoreURL(const char* url) {
    if (!url) url = "";
    const size_t length = std::strlen(url);
    if (length >= kURLSize) {
        theTrace().WriteFormat("Trace image address of %zu characters refused", length);
        return false;
    }
    std::memcpy(imageURL, url, length + 1);
    return true;
}

void TraceImageModel::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("TraceImageModel");
    KeyDataList* keys = element->GetChildren();
    keys->AddString("transactionObjectId", std::to_string(GetObjectId()));
    keys->AddString("TraceImageURL", imageURL);
}

bool TraceImageModel::ReadKeyData(KeyDataList& keys) {
    double id = 0.0;
    if (keys.GetDouble("transactionObjectId", id)) {
        if (std::isfinite(id) && id >= 0.0 && id < 4294967296.0)
            SetObjectId(static_cast<TransactionId>(id));
        else
            TraceWrite("Trace image id out of range ignored");
    }
    if (const char* url = keys.GetString("TraceImageURL")) StoreURL(url);
    return true;
}

void TraceImageModel::Render() {}

void TraceImageModel::Translate(const Vector& offset) {
    box.Translate(offset.x, offset.y, offset.z);
}
