// What the inventory export functions do (the C interface other programs
// call on the agent's binary is in win/inventory_exports.h): which entries
// and records are filled and with what, when a string is released, the cut
// of the 8-bit texts handed back. Memory that crosses the interface comes
// from an allocator the caller of these functions gives: the Windows layer
// gives the COM task allocator, the host tests a counting one.
//
// Every product function builds the merged product map afresh (no scan
// context: nothing excluded, no stop) and destroys it before returning.
#pragma once

#include <cstddef>
#include <string>

#include "scanners/product_sources.h"

namespace productexport {

// The allocator of the strings that cross the interface.
class ITaskMemory {
public:
    virtual ~ITaskMemory() = default;
    // Null when the memory cannot be had.
    virtual void* Alloc(size_t bytes) = 0;
    // Null does nothing.
    virtual void Free(void* block) = 0;
};

// A product information record as the caller lays it out: four UTF-16
// strings, each null when the value is empty. Products are read into
// records whose fields are null: a field the functions fill is overwritten
// without being released.
struct ProductInfo {
    char16_t* key;        // the product key
    char16_t* name;       // the product's name
    char16_t* signature;  // its identity text
    char16_t* hash;       // the digest of the signature, 32 lower-case hexadecimal digits
};

// A pair of 8-bit strings (the structure-passing test only).
struct NamePair {
    char* first;
    char* last;
};

// An 8-bit text handed back is cut to this many characters and takes a
// block of one more byte, for the terminator.
inline constexpr size_t kReturnChars = 256;

// A UTF-16 copy of an 8-bit text (ANSI code page); null for the empty text
// or when the memory cannot be had.
char16_t* NewWideString(ITaskMemory& memory, const std::string& text);
// The text's first kReturnChars characters and a terminator, in a block of
// kReturnChars + 1 bytes; null when the block cannot be had.
char* NewReturnText(ITaskMemory& memory, const std::string& text);

// The number of products in the merged map.
int AllProductsCount(const RegScan::ProductSources& sources);
// Fills entries of `keys` with product keys, in the map's order, while fewer
// than `count` entries are filled; a product whose key is empty uses no
// entry. A filled entry's earlier string is released; entries beyond the
// products keep what they held.
void AllProductKeys(ITaskMemory& memory, const RegScan::ProductSources& sources, char16_t** keys, int count);
// Fills records in the map's order while fewer than `count` are filled, and
// answers how many were.
int AllProductInfo(ITaskMemory& memory, const RegScan::ProductSources& sources, ProductInfo* records, int count);
// Looks the record's key up (exactly, letter case included). Found: fills
// name, signature and hash, leaves the key, answers 1. Not found: releases
// the key string, sets the key field to null, answers 0. A null record or
// key answers 0 and changes nothing.
int ProductInfoByKey(ITaskMemory& memory, const RegScan::ProductSources& sources, ProductInfo* record);

// Each takes an 8-bit string from the allocator (null reads as empty),
// releases it, and answers a new text in the kReturnChars + 1 block: the
// changed uninstall string of the argument; "Hello world: " followed by the
// argument; "Hello world From All Product API: " followed by the argument.
char* OrgToChangedUninstallString(ITaskMemory& memory, char* commandLine);
char* TestProString(ITaskMemory& memory, char* text);
char* TestString2(ITaskMemory& memory, char* text);

// The sum of the lengths of the strings; each is replaced by a new
// "123456789" (the old one released).
int TestArrayOfStrings(ITaskMemory& memory, char** strings, int count);
// The sum of the lengths of all first and last strings; each last string is
// replaced by "last:" followed by its old text (the old one released).
int TestArrayOfStructs2(ITaskMemory& memory, NamePair* pairs, int count);

}  // namespace productexport
