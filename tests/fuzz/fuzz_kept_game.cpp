// Fuzz target over the kept game's reader: any bytes are read or refused with a reason,
// and whatever is read writes back to a file that reads as the same game (the same
// bytes for a file of the current version).
#include <cstdint>
#include <cstdlib>

#include "game/Moves.h"
#include "scores/KeptGame.h"

using namespace orbelix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString problem;
    const std::optional<KeptGame> kept = ReadKeptGame(bytes, &problem);
    if (!kept) {
        if (problem.isEmpty()) std::abort();
        return 0;
    }
    const GameState& g = kept->game;
    if (g.colorCount < MinColors || g.colorCount > MaxColors || g.score > 2 * CellCount ||
        g.columnsInUse > Columns || !AnyMovesLeft(g.board))
        std::abort();
    for (int c = 1; c <= Columns; ++c)
        for (int r = 1; r <= Rows; ++r)
            for (int l = 1; l <= Layers; ++l)
                if (g.board(c, r, l) > g.colorCount || g.undoBoard(c, r, l) > g.colorCount)
                    std::abort();
    const std::optional<KeptGame> again = ReadKeptGame(WriteKeptGame(*kept), nullptr);
    if (!again || !(*again == *kept)) std::abort();
    // A file of the current version is written back byte for byte; an older one is
    // written in the current version.
    const QByteArray current = "Orbelix kept game " + QByteArray::number(KeptGameVersion) + '\n';
    if (bytes.startsWith(current) && WriteKeptGame(*again) != bytes) std::abort();
    return 0;
}
