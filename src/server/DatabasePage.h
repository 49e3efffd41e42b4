// The database page of one model and firmware: what has been published for it.
#pragma once

#include <string>

#include "server/DriveStore.h"

// The page a decoded request path names: "/database/[Fake/]MODEL/FIRMWARE/", each segment as the
// program's address carries it (the drive's Windows-1252 bytes), returned in UTF-8 as the store keeps
// it. False for any other path.
bool PageKeyFromPath(const std::string& path, bool& fake, std::string& model, std::string& firmware);

// The page number of a "page" query value: decimal digits, from 1. False for anything else.
bool PageNumberFromText(const std::string& text, int64_t& number);

// The HTML document (UTF-8, every text escaped) of a page with at least one drive: the figures of
// every drive of the model and firmware, this page's drives and links to the pages beside it.
std::string RenderModelPage(bool fake, const std::string& model, const std::string& firmware, const ModelPage& page);
