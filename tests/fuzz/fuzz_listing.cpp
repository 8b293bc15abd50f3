// Fuzzes the listing readers (this program's JSON and ncdu's export): any bytes end in a
// listing or a reason, never in a crash, a hang or a stack overflow; a listing that reads,
// written and read again, is the same listing.
#include "listing/ListingJsonReader.h"
#include "listing/ListingJsonWriter.h"
#include "listing/NcduWriter.h"
#include "scan/SearchRecord.h"
#include "tree/NodeStore.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace quillmap;

namespace {

std::string write(const NodeStore& store, const SearchRecord& record, bool ncdu = false)
{
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    if (ncdu)
        NcduWriter(store, record).write(out);
    else
        ListingJsonWriter(store, record, out).write();
    std::fclose(out);
    std::string s(data, size);
    std::free(data);
    return s;
}

// Reads `bytes` as a listing; `ncdu` tells which format it was.
ListingJsonReader::Result read(const std::string& bytes, NodeStore& store, SearchRecord& record,
                               bool& ncdu)
{
    std::FILE* in = bytes.empty() ? std::fopen("/dev/null", "rb")
                                  : fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
    ListingJsonReader reader;
    const auto result = reader.read(in, store, record);
    ncdu = reader.readNcdu();
    std::fclose(in);
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    NodeStore store;
    SearchRecord record;
    bool ncdu = false;
    if (read(input, store, record, ncdu) != ListingJsonReader::Result::Ok)
        return 0;
    // Written again in the format it was read in.
    const std::string once = write(store, record, ncdu);
    NodeStore again;
    SearchRecord againRecord;
    bool stillNcdu = false;
    if (read(once, again, againRecord, stillNcdu) != ListingJsonReader::Result::Ok ||
        stillNcdu != ncdu || write(again, againRecord, ncdu) != once) {
        std::fprintf(stderr, "broken: a listing that reads does not read back the same\n");
        std::abort();
    }
    return 0;
}
