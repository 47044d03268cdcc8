// The module's shared library: the application object and everything it builds on are linked in
// whole from their static libraries; the version script exports ExportInterface alone.
