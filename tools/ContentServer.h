#pragma once

#include <httplib.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

// The project's own content server: everything the programs ask of the content domain.
//
// Files come from the site folder (catalogue content, component cabinets, version list,
// pages), found by their path in lower case, as the catalogue names them. Pages (".aspx",
// ".htm", ".html") are templates: "{{DOMAIN}}" becomes the host the request was sent to
// and "{{USERID}}" the request's user id. The query page "kvrQueryEntrance.aspx" answers
// the programs' commands: sign-in, page look-up, probe findings, recommended display
// settings, log and bill-of-materials uploads. Uploads are kept in the uploads folder,
// one file each, under "logs/", "bills/" and "probe/".
//
// Accounts are read from the site's "accounts.txt": one account a line, the e-mail
// address, the password and the user id separated by blanks.
//
// A request it cannot answer gets an HTTP error: 404 for a missing file, 400 for a bad
// command or path, 405 for another method, 413 for an over-large body.
class ContentServer {
public:
    // Bodies larger than this are refused.
    static constexpr size_t kMaxBodyBytes = 4 << 20;

    ContentServer(std::string site, std::string uploads);
    ~ContentServer();
    ContentServer(const ContentServer&) = delete;
    ContentServer& operator=(const ContentServer&) = delete;

    // Listens on 127.0.0.1: on `port` when it is free (0 for any), else on a port the
    // system picks; serves on a thread of its own. False when nothing could be bound.
    bool Start(int port = 0);
    void Stop();
    int Port() const { return port_; }
    // "127.0.0.1:<port>".
    std::string Address() const;
    const std::string& Uploads() const { return uploads_; }

    // How many uploads of each kind were kept.
    int UploadCount(const std::string& kind) const;

private:
    void Route();
    void Query(const httplib::Request& request, httplib::Response& response);
    void ServeFile(const httplib::Request& request, httplib::Response& response);
    void BillOfMaterials(const httplib::Request& request, httplib::Response& response);
    void Tip(const httplib::Request& request, httplib::Response& response);
    void ObjectPage(const httplib::Request& request, httplib::Response& response);
    // Keeps an upload; the path of the file, empty when it could not be written.
    std::string Keep(const std::string& kind, const std::string& user, const std::string& name,
                     const std::string& body);
    std::string SignIn(const std::string& user, const std::string& password) const;
    std::string Page(const httplib::Request& request, const std::string& text) const;

    std::string site_;
    std::string uploads_;
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, int> counts_;
};
