#include "server/UploadRequest.h"

#include <vector>

#include "server/Multipart.h"

namespace {

// A text part for a text column: present, within its limit, no zero byte.
bool TextPart(const std::vector<FormPart>& parts, const char* name, std::size_t limit, std::string& text,
              std::string& why) {
    const std::string* content = FindPart(parts, name);
    if (!content) {
        why = std::string("no ") + name + " part";
        return false;
    }
    if (content->size() > limit || content->find('\0') != std::string::npos) {
        why = std::string("the ") + name + " part is too long or holds a zero byte";
        return false;
    }
    text = *content;
    return true;
}

}  // namespace

bool ParseUpload(const std::string& contentType, const std::string& body, Upload& upload, std::string& why) {
    std::string boundary;
    if (!FormBoundary(contentType, boundary)) {
        why = "not a form upload with a boundary";
        return false;
    }
    std::vector<FormPart> parts;
    if (!SplitFormBody(body, boundary, parts, why) ||
        !TextPart(parts, "ver", MaxVersionBytes, upload.Version, why) ||
        !TextPart(parts, "txt", MaxReportBytes, upload.ReportText, why))
        return false;
    const std::string* block = FindPart(parts, "bin");
    upload.HasBlock = block != nullptr;
    upload.Drives.clear();
    if (!block) return true;
    if (block->size() > MaxBlockBytes) {
        why = "the bin part is too long";
        return false;
    }
    upload.Block = *block;
    if (!DecodePublishBlock(upload.Block, upload.Header, upload.Drives, why)) return false;
    if (upload.Drives.size() > MaxPhysicalDisks) {
        why = "more drives than a machine has";
        return false;
    }
    return true;
}
