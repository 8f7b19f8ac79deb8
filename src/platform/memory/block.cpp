#include "platform/memory/block.h"

#include "platform/memory/memory.h"

namespace plat {

namespace {
void* takePlain(void*, int64_t bytes) { return NewPtr(bytes); }
void givePlain(void*, void* block) { DisposePtr(block); }
}  // namespace

BlockSource PlainSource() { return {nullptr, takePlain, givePlain}; }

}  // namespace plat
