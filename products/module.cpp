// A delivered module is the whole of its static libraries (linked in full by mc_product); this
// file only gives the linker a translation unit of the module's own. Nothing is exported from
// here: entry points carry MC_EXPORT where they are defined.
