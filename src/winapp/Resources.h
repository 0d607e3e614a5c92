#pragma once

// Resource IDs, shared by kelvoran.rc and the code. The application icon has the lowest ID, so
// that Explorer shows it for the file.
#define KV_ICON_APPLICATION 1
#define KV_ICON_WATCHING 2
#define KV_ICON_ARRIVAL 3
#define KV_ICON_NO_FOLDER 4
#define KV_ICON_NO_ANSWER 5
#define KV_ICON_NOT_ARRIVED 6
