// The "Database" command: the drives' pages of the vendor's online drive database.
#pragma once

// Opens the database page of every drive in the table, in table order, in the default browser.
void OpenDatabasePages();
