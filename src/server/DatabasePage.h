// The database page of one model and firmware: what has been published for it.
#pragma once

#include <string>

#include "server/DriveStore.h"

// The page a decoded request path names: "/database/[Fake/]MODEL/FIRMWARE/", each segment as the
// program's address carries it (the drive's Windows-1252 bytes), returned in UTF-8 as the store keeps
// it. False for any other path.
bool PageKeyFromPath(const std::string& path, bool& fake, std::string& model, std::string& firmware);

// The HTML document (UTF-8, every text escaped) of a page with at least one drive.
std::string RenderModelPage(bool fake, const std::string& model, const std::string& firmware, const ModelPage& page);
