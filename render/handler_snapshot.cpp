#include "render/handler_snapshot.h"

#include "handler/handler_globals.h"
#include "render/track_runtime.h"

std::array<bool, 256> GSnapshotShown{};

THandlerSnapshot TakeHandlerSnapshot(uint8_t number, const std::string& scope,
                                     const TTreck& track, uint32_t position) {
  THandlerSnapshot snapshot;
  snapshot.Number = number;
  snapshot.Scope = scope;
  snapshot.Position = position;
  const std::vector<std::string>& texts = GHandlerCompile.Interruptions;
  if (number < texts.size()) {
    snapshot.Text = texts[number];
  }
  if (track.Runtime == nullptr) {
    return snapshot;
  }
  const TTrackRuntime& runtime = *track.Runtime;
  const THandlerProgram& program = runtime.Program;
  snapshot.Variables.assign(program.Variables.begin(), program.Variables.end());
  snapshot.Constants.assign(program.Constants.begin(), program.Constants.end());
  snapshot.Arrays.assign(program.Arrays.begin(), program.Arrays.end());
  for (const TActiveBlock& block : runtime.ActiveBlocks) {
    snapshot.Blocks.push_back(
        {block.Name, block.StartTick, block.Block != nullptr && block.Block->IsFunction});
  }
  return snapshot;
}
