// The test folder's pictures: one of every format (the library's writers and
// the byte-built samples), damaged files, and names that are markup, have
// spaces, are not ASCII or are no valid text at all.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <random>
#include <string>

#include "exerciser.h"
#include "support/sample_files.h"

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteRaw(const QByteArray& path, const QByteArray& bytes) {
    if (FILE* f = std::fopen(path.constData(), "wb")) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
        std::fclose(f);
    }
}

} // namespace

void MakeTestPictures(const std::string& folderName, bool full) {
    const QString folder = QFile::decodeName(folderName.c_str());
    QDir().mkpath(folder);
    const auto at = [&](const QString& name) { return folder + "/" + name; };
    samples::SaveQuad(at("quad.jpg"), 64, 48);
    samples::SaveQuad(at("quad.png"), 80, 60);
    if (!full) return;
    samples::SaveQuad(at("quad.bmp"), 40, 30);
    samples::SaveQuad(at("palette.bmp"), 33, 21, true);
    samples::SaveQuad(at("palette.png"), 50, 50, true);
    samples::SaveQuad(at("quad.tga"), 31, 17);
    samples::SaveQuad(at("quad.tif"), 45, 35);
    samples::SaveQuad(at("quad.ppm"), 20, 20);
    samples::SaveQuad(at("quad.pgm"), 20, 20);
    samples::SaveQuad(at("quad.pbm"), 21, 13);
    samples::SaveQuad(at("wide.jpg"), 400, 120);
    samples::WriteQuadGif(at("still.gif"), 30, 30);
    samples::WriteQuadGif(at("moving.gif"), 24, 24, 3);
    samples::WriteQuadPcx(at("quad.pcx"), 26, 18);
    samples::WriteQuadIco(at("icon.ico"), 32, 32);
    samples::WriteQuadIco32(at("icon32.ico"), 48, 48);
    samples::WriteQuadWmf(at("drawing.wmf"), 200, 150);
    samples::WriteBytes(at("clip.avi"), samples::AviHeaderBytes(64, 48));

    // Names a careless program mistakes for markup, options or paths.
    samples::SaveQuad(at("<b>bold &amp; <i>x.jpg"), 30, 20);
    samples::SaveQuad(at("  spaces  in name .png"), 30, 20);
    samples::SaveQuad(at("ünïcödé 写真.bmp"), 30, 20);
    samples::SaveQuad(at("-dash.tga"), 16, 16);
    samples::SaveQuad(at(".hidden.png"), 16, 16);
    // A name that is no valid UTF-8 can only be made through its bytes.
    samples::WriteQuadGif(at("raw.gif"), 18, 18);
    ::rename(QFile::encodeName(at("raw.gif")).constData(),
             (QFile::encodeName(folder) + "/bytes \xff\xfe\x80.gif").constData());
    QDir().mkpath(at("sub dir"));
    samples::SaveQuad(at("sub dir/inner.jpg"), 40, 40);
    samples::SaveQuad(at("sub dir/inner.png"), 40, 40, true);

    // Damaged files.
    const QByteArray jpg = ReadBytes(at("wide.jpg"));
    WriteRaw(QFile::encodeName(at("truncated.jpg")), jpg.left(jpg.size() / 2));
    QByteArray png = ReadBytes(at("quad.png"));
    for (qsizetype i = 40; i < png.size() - 20; i += 7)
        png[i] = char(png[i] ^ 0x5A);
    WriteRaw(QFile::encodeName(at("broken.png")), png);
    WriteRaw(QFile::encodeName(at("empty.gif")), {});
    const QByteArray tif = ReadBytes(at("quad.tif"));
    WriteRaw(QFile::encodeName(at("cut.tif")), tif.left(tif.size() * 3 / 5));
    std::mt19937 noise(7);
    QByteArray junk("BM");
    for (int i = 0; i < 3000; ++i)
        junk += char(noise());
    WriteRaw(QFile::encodeName(at("noise.bmp")), junk);
    // A header that claims a picture of ten billion pixels.
    std::vector<uint8_t> huge = {'B', 'M'};
    samples::PutBytes(huge, 200, 4), samples::PutBytes(huge, 0, 4), samples::PutBytes(huge, 54, 4);
    samples::PutBytes(huge, 40, 4), samples::PutBytes(huge, 100000, 4);
    samples::PutBytes(huge, 100000, 4), samples::PutBytes(huge, 1, 2), samples::PutBytes(huge, 24, 2);
    huge.resize(200, 0x80);
    samples::WriteBytes(at("huge.bmp"), huge);
    WriteRaw(QFile::encodeName(at("notes.txt")), "not a picture\n");
}
