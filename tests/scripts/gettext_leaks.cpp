// libgettextpo leaks a few bytes of its own in every po_file_read (its
// lexer's file name, its parser's comment lists). The sanitizer builds of the
// tests pass those over; the library has no frame pointers, so its frames
// are told by its module name. The scripts fuzz target, which unwinds fully,
// tells them apart from strings ReadPo might fail to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libgettextpo\n"; }
