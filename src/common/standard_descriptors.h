#pragma once

// Opens /dev/null on each of the standard descriptors 0, 1 and 2 that is
// closed when the program starts. A program started with one of them closed
// would otherwise hand that number to the first file it opens (the memory
// image's backing file, a project), and what it prints to standard output
// or standard error would land in that file.
void OpenClosedStandardDescriptors();
