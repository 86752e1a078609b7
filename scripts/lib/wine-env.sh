# How every Wine run of the project's goes, sourced by the Windows build's runner (wine-run), its
# tests and its benchmark, each of which gives Wine a prefix of its own (never ~/.wine).
# No .NET or Internet Explorer: a new prefix would ask to download them. No menu builder: it writes
# under the Unix home, whatever the prefix, and would give the user's own desktop menu entries,
# folders and icons for the shortcuts an installer makes, which stay after the prefix is gone.
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d'
