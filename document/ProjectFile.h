#pragma once
// The project file (".qvk"): the main scene as "QVK1", version 14, then the
// canvas, its layers and their objects. The object record is also the payload
// of the clipboard formats. Readers check every count and length against the
// bytes that remain and throw ArchiveError on anything malformed; the
// whole-file loader applies a file to the scene only when all of it parsed.
#include "platform/Archive.h"
#include "scene/BoneList.h"
#include "scene/CanvasDocument.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kProjectFileVersion = 14;
// The oldest version read: it lacks the per-object clip byte.
constexpr uint32_t kProjectFileOldestVersion = 13;
// What the user is told about a project file that cannot be read.
inline constexpr const char* kUnexpectedFileFormat = "Unexpected file format.";

// --- Records ---
void WriteImagePart(ArchiveWriter& ar, const ImagePart& part);
void WriteImagePart(ArchiveWriter& ar, const ImagePartRecord& part);
ImagePart ReadImagePart(ArchiveReader& ar);
ImagePartRecord ReadImagePartRecord(ArchiveReader& ar);

void WriteBone(ArchiveWriter& ar, const Bone& bone);
Bone ReadBone(ArchiveReader& ar);
void WriteJointLink(ArchiveWriter& ar, const JointLink& link);
JointLink ReadJointLink(ArchiveReader& ar);
void WritePosablePart(ArchiveWriter& ar, const PosablePart& part);
PosablePart ReadPosablePart(ArchiveReader& ar, BoneList::BoneIdRenames* renames = nullptr);
void WritePosableScene(ArchiveWriter& ar, const PosableScene& scene);
PosableScene ReadPosableScene(ArchiveReader& ar);
void WritePartPoses(ArchiveWriter& ar, const std::vector<PartPose>& poses);
std::vector<PartPose> ReadPartPoses(ArchiveReader& ar);

// version decides whether the clip byte is present (14) or not (13).
void WriteCanvasObject(ArchiveWriter& ar, const CanvasObject& object);
CanvasObject ReadCanvasObject(ArchiveReader& ar, uint32_t version);
void WriteCanvasLayer(ArchiveWriter& ar, const Layer& layer);
Layer ReadCanvasLayer(ArchiveReader& ar, uint32_t version);

// --- Whole files ---
// The main scene's bytes: magic, version 14, canvas, active layer, primary
// selection and layers. Nothing else of the scene is stored.
std::vector<uint8_t> WriteProjectBytes(const CanvasDocument& scene);
// Parses a whole project and, only when it parses, replaces the scene's
// canvas, layers, active layer and object selection with it and drops the
// pixel selection. On failure the scene is untouched and error (when given)
// holds kUnexpectedFileFormat.
bool ReadProjectBytes(const uint8_t* data, size_t size, CanvasDocument& scene, std::string* error = nullptr);
inline bool ReadProjectBytes(const std::vector<uint8_t>& bytes, CanvasDocument& scene, std::string* error = nullptr) {
    return ReadProjectBytes(bytes.data(), bytes.size(), scene, error);
}
// The same, streaming size bytes from a source: fields are read as the
// records need them, so bad data is refused without the rest being read.
bool ReadProject(ArchiveSource& source, uint64_t size, CanvasDocument& scene, std::string* error = nullptr);
enum class ProjectLoadResult {
    kLoaded,
    kCannotOpen,  // missing, unreadable or not a regular file; error says so
    kBadFormat,   // read (or empty) but refused; error holds kUnexpectedFileFormat
};
// ReadProject on a file, of whatever size the format holds. The scene
// changes only on kLoaded.
ProjectLoadResult LoadProjectFile(const std::string& path, CanvasDocument& scene, std::string* error = nullptr);
// Writes the scene atomically: on failure the previous file is left whole and
// error says why.
bool SaveProjectFile(const std::string& path, const CanvasDocument& scene, std::string* error = nullptr);
