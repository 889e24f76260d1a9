// The code chunk and reference linking: the code entries of "CODE", the variable and function
// occurrence chains of "VARI" and "FUNC" patched with run-time ids, and the remapping of old
// bytecode.
#pragma once

#include <cstdint>

class ChunkView;

// Name lookups the linking needs from the variable and function registries. An answer below 0
// means the name cannot be resolved.
struct CodeLinkInterface {
    // Sizes the variable-name tables (globals, instances, locals) from "VARI".
    void (*initVariableTables)(int32_t globals, int32_t instances, int32_t locals) = nullptr;
    // New-format entries: records the name and answers the id.
    int32_t (*variableSetName)(const char* name, int32_t scope, int32_t index) = nullptr;
    // Old-format entries and the compiled game's references.
    int32_t (*variableGetId)(const char* name) = nullptr;
    int32_t (*functionFind)(const char* name) = nullptr;
    // One script's local-variable names from "FUNC" (new format).
    void (*loadLocals)(const char* script, uint32_t count, const char* const* names) = nullptr;
};

extern CodeLinkInterface g_CodeLink;

// A validated code entry. `code` points into the loaded file.
struct CodeEntryView {
    const char* name;
    uint8_t* code;
    uint32_t length;
    uint32_t start;
    int32_t locals;
    int32_t arguments;
};

// Header pass: "CODE" (entry count and table) and "VARI". The variables' names are resolved
// here; their chains are patched with the functions' in the chunk pass.
void Code_ReadTable(ChunkView& chunk);
void VARI_Load(ChunkView& chunk);
void VARI_LinkOld(ChunkView& chunk);
// Chunk pass. "FUNC" patches its chains and the variables' in one sweep over the bytecode.
void Code_LoadChunk(ChunkView& chunk);
void FUNC_Load(ChunkView& chunk);
void FUNC_LinkOld(ChunkView& chunk);
// End of the chunk pass: patches variable chains no "FUNC" took along. False for a bad chain
// (the load error names "VARI").
bool CodeLink_Finish();

uint32_t Code_EntryCount();
// False for an index outside the table or an empty slot.
bool Code_GetEntry(uint32_t index, CodeEntryView* out);

// Rewrites old instruction words in place to the current opcode numbering.
void Code_RemapOpcodes(uint8_t* code, uint32_t length);
// Walks whole instructions from the start; answers the bytes covered (an instruction whose
// operand would pass `length` ends the walk before it). `visit` may be null.
uint32_t Code_WalkInstructions(uint8_t* code, uint32_t length, void (*visit)(uint8_t* instruction));

// Variable counts read from "VARI" (new format); 0 before.
int32_t Code_VariGlobalCount();
int32_t Code_VariInstanceCount();

// Forgets the code table and the counts.
void CodeLink_Reset();
