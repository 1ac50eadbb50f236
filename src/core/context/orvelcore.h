#pragma once

// Makes the core library's compiled-in resources (the crypto script) visible
// and registers the record types for queued signals. A static library's
// resources are not registered on their own: call this once, early, from the
// program's main and from every test that uses them.
void initOrvelCore();

// Reads the compiled-in crypto script (":/js/crypto.txt") into VConfigs.
// Returns false, leaving the script empty, when the resource cannot be opened.
bool loadCryptoScript();
