#pragma once
// Memory about to be written all over.

#include <cstddef>

namespace platform {

// Gives the whole pages of [start, start + bytes) memory of their own now, in
// one call to the system, instead of a fault for each page as it is first
// touched (two where a page is read before it is written: the shared page of
// zeros first, then a copy). What they hold stays as it is. False where the
// system cannot; nothing has changed then.
bool populate_for_writing(void* start, std::size_t bytes);

}  // namespace platform
