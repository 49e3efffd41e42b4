#include "server/DatabaseServer.h"

#include <httplib.h>
#include <sys/socket.h>

#include <cstdio>
#include <ctime>
#include <iostream>

#include "server/DatabasePage.h"
#include "server/UploadRequest.h"

namespace {

// The Content-Type of an upload is kept under this name: the library would otherwise parse a form
// body itself, and it refuses the closing delimiter without a line break that the program sends.
const char UploadTypeHeader[] = "X-Upload-Content-Type";

httplib::Server::HandlerResponse HideFormType(const httplib::Request& request, httplib::Response&) {
    // The request object is the library's own modifiable one, lent to this handler as const.
    httplib::Request& editable = const_cast<httplib::Request&>(request);
    editable.headers.erase(UploadTypeHeader);
    const auto type = editable.headers.find("Content-Type");
    if (type != editable.headers.end()) {
        const std::string value = type->second;
        editable.headers.erase(type);
        editable.headers.emplace(UploadTypeHeader, value);
    }
    return httplib::Server::HandlerResponse::Unhandled;
}

void ReceiveUpload(DriveStore& store, const httplib::Request& request, httplib::Response& response) {
    Upload upload;
    std::string why;
    if (!ParseUpload(request.get_header_value(UploadTypeHeader), request.body, upload, why)) {
        std::cerr << "upload refused: " << why << "\n";
        response.status = 400;
        response.set_content("malformed upload\n", "text/plain");
        return;
    }
    upload.ReceivedAt = UtcNowText();
    int64_t id = 0;
    const StoreOutcome stored = StoreUpload(store, upload, id, why);
    if (stored == StoreOutcome::DoesNotFit) {
        std::cerr << "upload refused: " << why << "\n";
        response.status = 400;
        response.set_content("a text does not fit its column\n", "text/plain");
        return;
    }
    if (stored != StoreOutcome::Stored) {
        std::cerr << "upload not stored: " << why << "\n";
        response.status = 500;
        response.set_content("not stored\n", "text/plain");
        return;
    }
    response.set_content("stored " + std::to_string(id) + "\n", "text/plain");
}

void ServePage(DriveStore& store, const httplib::Request& request, httplib::Response& response) {
    bool fake = false;
    std::string model, firmware, why;
    ModelPage page;
    int64_t number = 1;
    if (!PageKeyFromPath(request.path, fake, model, firmware) ||
        (request.has_param("page") && !PageNumberFromText(request.get_param_value("page"), number))) {
        response.status = 404;
        return;
    }
    if (!LoadModelPage(store, fake, model, firmware, number, page, why)) {
        std::cerr << "page not read: " << why << "\n";
        response.status = 500;
        return;
    }
    if (page.Drives.empty()) {
        response.status = 404;
        response.set_content("Nothing has been published for this model and firmware.\n", "text/plain");
        return;
    }
    response.set_content(RenderModelPage(fake, model, firmware, page), "text/html; charset=utf-8");
}

}  // namespace

void InstallRoutes(httplib::Server& server, DriveStore& store) {
    server.set_payload_max_length(MaxUploadBytes);
    server.set_pre_routing_handler(HideFormType);
    server.Post("/korvante-data.php", [&store](const httplib::Request& request, httplib::Response& response) {
        ReceiveUpload(store, request, response);
    });
    server.Get("/database/.*", [&store](const httplib::Request& request, httplib::Response& response) {
        ServePage(store, request, response);
    });
}

int BindServer(httplib::Server& server, const std::string& address, int port) {
    socket_t listening = INVALID_SOCKET;
    server.set_socket_options([&listening](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening = sock;  // the last socket tried is the one bound
    });
    const int bound = port == 0 ? server.bind_to_any_port(address) : (server.bind_to_port(address, port) ? port : -1);
    if (bound <= 0 || ::listen(listening, SOMAXCONN) != 0) return -1;  // listen again: a longer queue
    return bound;
}

std::string UtcNowText() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &utc);
    return text;
}
