// Edits of a 32-bit PE image around its resources: its signature and its time stamps.
#pragma once
#include <stdint.h>
#include <string>
#include <vector>

// Whether the image carries a certificate table (an Authenticode signature).
bool IsSignedPe(const std::vector<uint8_t>& file);

// Removes the certificate table from the end of the file and its directory entry, and updates
// the checksum. False when the table is not where signing tools put it: at the file's end.
bool DropPeSignature(std::vector<uint8_t>* file, std::string* error);

// Sets every time stamp of the image that tools and loaders read (the file header's, the export
// directory's and the debug directory entries') to time, and updates the checksum.
bool SetPeTimeStamps(std::vector<uint8_t>* file, uint32_t time, std::string* error);
