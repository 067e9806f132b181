#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "support/LocalHttpServer.h"
#include "support/TempFolder.h"

class KeyDataList;

// A content server on 127.0.0.1 with the editor's default content: the sky
// ("plansys/defaultSky/cumulus.3c_"), the sun ("plansys/gsun/sun.3c_", a directional
// light), the default spotlight ("3d/compressedfileformat/defaultspotlight.3c_"), the
// default material ("textures/finished_wood/cherry_blonde_im.3c_") and the box model
// they show ("3d/box.3c_"). Tests add further files before Start. Downloads of the test
// go to a URL cache of its own.
class ContentServer {
public:
    ContentServer();
    ContentServer(const ContentServer&) = delete;
    ContentServer& operator=(const ContentServer&) = delete;

    bool Start();
    // "http://127.0.0.1:<port>/", the control's content domain.
    std::string Domain() const { return "http://" + server_.Address() + "/"; }

    // Serves the bytes at the path (which starts with '/').
    void Serve(const std::string& path, const std::string& bytes);
    // Serves a cabinet whose one member is the tree in binary form.
    void ServeTree(const std::string& path, const KeyDataList& tree);
    // A cabinet of one member with these bytes.
    std::string Cabinet(const std::string& member, const std::string& bytes);
    // How often the path was asked for.
    int Requests(const std::string& path) const;

private:
    TempFolder build_;
    TempFolder cache_;
    ScopedEnv cacheEnv_;
    // Before the server, which stops first and may still count a request until then.
    mutable std::mutex mutex_;
    std::map<std::string, int> requests_;
    LocalHttpServer server_;
};
