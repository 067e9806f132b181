#include "interaction/TraceImageModel.h"

#include <cstdio>

TraceImageModel::TraceImageModel(const char* url) {
    std::snprintf(imageURL, sizeof imageURL, "%s", url ? url : "");
}
