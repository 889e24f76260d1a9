// Collision masks and the precise tests: packed masks unpacked on demand, masks built from
// alpha and in shapes, and the sprite, point, rectangle, ellipse and line tests under scale and
// rotation checked against a rasterisation written out here from the mapping rules.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "assets/Graphics_Bitmap32.h"
#include "assets/Sprite_Main.h"
#include "core/MemoryManager.h"

namespace {

using Rows = std::vector<std::string>;  // '#' solid, '.' empty

// Packs rows the way the data file stores masks: (width + 7) / 8 bytes a row, high bit first.
std::vector<uint8_t> Pack(const std::vector<Rows>& masks) {
    std::vector<uint8_t> bytes;
    for (const Rows& rows : masks) {
        const size_t stride = (rows[0].size() + 7) / 8;
        for (const std::string& row : rows) {
            std::vector<uint8_t> packed(stride, 0);
            for (size_t x = 0; x < row.size(); ++x)
                if (row[x] == '#') packed[x / 8] |= uint8_t(0x80 >> (x % 8));
            bytes.insert(bytes.end(), packed.begin(), packed.end());
        }
    }
    return bytes;
}

// A data-file style sprite whose masks are packed bytes owned by the test.
struct MaskedSprite {
    CSprite sprite;
    std::vector<uint8_t> packed;
    MaskedSprite(const std::vector<Rows>& masks, int32_t frames, int32_t originX, int32_t originY) {
        packed = Pack(masks);
        sprite.m_width = int32_t(masks[0][0].size());
        sprite.m_height = int32_t(masks[0].size());
        sprite.m_frameCount = frames;
        sprite.m_originX = originX;
        sprite.m_originY = originY;
        sprite.m_packedMaskCount = int32_t(masks.size());
        sprite.m_packedMasks = packed.data();
    }
};

// A run-time sprite whose frames are the given 32-bit pictures.
void GiveFrames(CSprite& sprite, int32_t width, int32_t height,
                const std::vector<std::vector<uint32_t>>& frames) {
    sprite.m_width = width;
    sprite.m_height = height;
    sprite.m_frameCount = int32_t(frames.size());
    sprite.m_bitmapCount = int32_t(frames.size());
    sprite.m_bitmaps = static_cast<CBitmap32**>(MEM_ALLOC(frames.size() * sizeof(CBitmap32*)));
    for (size_t i = 0; i < frames.size(); ++i) {
        sprite.m_bitmaps[i] = new CBitmap32(width, height, 0u);
        std::copy(frames[i].begin(), frames[i].end(), sprite.m_bitmaps[i]->GetPixels());
    }
}

const Rows kFull = {"########", "########", "########", "########",
                    "########", "########", "########", "########"};
const Rows kChecker = {"#.#.#.#.", ".#.#.#.#", "#.#.#.#.", ".#.#.#.#",
                       "#.#.#.#.", ".#.#.#.#", "#.#.#.#.", ".#.#.#.#"};
const Rows kDiagonal = {"#.......", ".#......", "..#.....", "...#....",
                        "....#...", ".....#..", "......#.", ".......#"};
const Rows kRing = {"..####..", ".#....#.", "#......#", "#......#",
                    "#......#", "#......#", ".#....#.", "..####.."};
const Rows kCorner = {"........", "........", "........", "........",
                      "........", "........", "........", ".......#"};

// Pose of one instance in the reference rasterisation.
struct Pose {
    int32_t x, y;
    float xs, ys, angle;
};

// Whether the room pixel is solid in the sprite: the mapping written out from its rules, one
// case at a time, with std::trunc standing for the truncation.
bool ReferenceSolid(const Rows& mask, int32_t ox, int32_t oy, const Pose& p, bool anyAngle, bool plain,
                    int32_t rx, int32_t ry) {
    const int32_t dx = rx - p.x, dy = ry - p.y;
    double u, v;
    if (plain) {
        u = ox + dx;
        v = oy + dy;
    } else if (!anyAngle) {
        u = std::trunc(float(float(dx) * (1.0f / p.xs)) + float(ox));
        v = std::trunc(float(float(dy) * (1.0f / p.ys)) + float(oy));
    } else {
        const float a = -p.angle * 3.1415927f / 180.0f;
        const float s = std::sin(a), c = std::cos(a);
        const float ru = float(dy) * s + float(dx) * c, rv = float(dy) * c - float(dx) * s;
        u = std::trunc(float(ru * (1.0f / p.xs)) + float(ox));
        v = std::trunc(float(rv * (1.0f / p.ys)) + float(oy));
    }
    if (u < 0 || v < 0 || u >= 8 || v >= 8) return false;
    return mask[size_t(v)][size_t(u)] == '#';
}

TEST(SpriteCollision, MaskPairsAgreeWithTheReferenceAtScalesAndAngles) {
    const std::vector<const Rows*> masks = {&kFull, &kChecker, &kDiagonal, &kRing, &kCorner};
    const float scales[] = {1.0f, 2.0f, 0.5f};
    const float angles[] = {0.0f, 30.0f, 90.0f};
    const int32_t offsets[][2] = {{0, 0}, {5, 3}, {-7, 2}, {3, -6}, {9, 9}};
    int32_t hits = 0, cases = 0;
    for (const Rows* a : masks) {
        for (const Rows* b : masks) {
            MaskedSprite sa({*a}, 1, 4, 4), sb({*b}, 1, 2, 3);
            for (float scale : scales) {
                for (float angle : angles) {
                    for (const auto& offset : offsets) {
                        const Pose pa{100, 100, scale, scale, angle};
                        const Pose pb{100 + offset[0], 100 + offset[1], 1.0f, scale == 1.0f ? 1.0f : 1.5f,
                                      angle == 0.0f ? 0.0f : 90.0f};
                        const int32_t boxA[4] = {pa.x - 20, pa.y - 20, pa.x + 20, pa.y + 20};
                        const int32_t boxB[4] = {pb.x - 20, pb.y - 20, pb.x + 20, pb.y + 20};
                        const bool anyAngle = pa.angle != 0.0f || pb.angle != 0.0f;
                        const bool plain =
                            !anyAngle && pa.xs == 1.0f && pa.ys == 1.0f && pb.xs == 1.0f && pb.ys == 1.0f;
                        bool expected = false;
                        for (int32_t rx = boxB[0]; rx <= boxA[2] && !expected; ++rx)
                            for (int32_t ry = boxB[1]; ry <= boxA[3] && !expected; ++ry)
                                expected = ReferenceSolid(*a, 4, 4, pa, anyAngle, plain, rx, ry) &&
                                           ReferenceSolid(*b, 2, 3, pb, anyAngle, plain, rx, ry);
                        const bool got =
                            sa.sprite.CollisionSprite(0, boxA, pa.x, pa.y, pa.xs, pa.ys, pa.angle, &sb.sprite,
                                                      0, boxB, pb.x, pb.y, pb.xs, pb.ys, pb.angle);
                        EXPECT_EQ(got, expected) << "scale " << scale << " angle " << angle << " offset "
                                                 << offset[0] << "," << offset[1];
                        hits += expected;
                        ++cases;
                    }
                }
            }
        }
    }
    // The table must exercise both answers.
    EXPECT_GT(hits, cases / 10);
    EXPECT_LT(hits, cases);
}

TEST(SpriteCollision, OneColumnOverlapCollidesOnlyWhereBothMasksAreSolid) {
    const Rows leftSolid = {"#.......", "#.......", "#.......", "#.......",
                            "#.......", "#.......", "#.......", "#......."};
    const Rows rightSolid = {".......#", ".......#", ".......#", ".......#",
                             ".......#", ".......#", ".......#", ".......#"};
    // B sits 7 pixels right of A: A's column 7 meets B's column 0.
    const int32_t boxA[4] = {0, 0, 7, 7}, boxB[4] = {7, 0, 14, 7};
    auto meets = [&](const Rows& a, const Rows& b) {
        MaskedSprite sa({a}, 1, 0, 0), sb({b}, 1, 0, 0);
        return sa.sprite.CollisionSprite(0, boxA, 0, 0, 1, 1, 0, &sb.sprite, 0, boxB, 7, 0, 1, 1, 0);
    };
    EXPECT_TRUE(meets(rightSolid, leftSolid));
    EXPECT_FALSE(meets(leftSolid, leftSolid));
    EXPECT_FALSE(meets(rightSolid, rightSolid));
}

TEST(SpriteCollision, MasksAreUnpackedOnceAndPickedByFrameModuloTheirCount) {
    MaskedSprite one({kCorner}, 10, 0, 0);
    const int32_t box[4] = {0, 0, 7, 7};
    EXPECT_TRUE(one.sprite.CollisionPoint(7, box, 0, 0, 1, 1, 0, 7, 7));  // frame 7 uses mask 0
    EXPECT_FALSE(one.sprite.CollisionPoint(7, box, 0, 0, 1, 1, 0, 0, 0));
    EXPECT_TRUE(one.sprite.m_masksUnpacked);
    EXPECT_EQ(one.sprite.m_maskCount, 1);
    EXPECT_FALSE(one.sprite.m_masksPerFrame);

    MaskedSprite two({kFull, kCorner}, 2, 0, 0);
    EXPECT_TRUE(two.sprite.CollisionPoint(-2, box, 0, 0, 1, 1, 0, 0, 0));   // -2 wraps to mask 0
    EXPECT_FALSE(two.sprite.CollisionPoint(-1, box, 0, 0, 1, 1, 0, 0, 0));  // -1 wraps to mask 1
    two.sprite.FreeMasks();
    EXPECT_EQ(two.sprite.m_maskCount, 0);
    EXPECT_TRUE(two.sprite.CollisionPoint(3, box, 0, 0, 1, 1, 0, 7, 7));  // unpacked again
}

TEST(SpriteCollision, PointTestRotationAndFlooring) {
    Rows dot = {"........", "........", "........", "........",
                "........", "....#...", "........", "........"};  // (4, 5)
    MaskedSprite s({dot}, 1, 4, 4);
    const int32_t box[4] = {-100, -100, 100, 100};
    // Under 90 degrees the point (x + 1, y) maps to (origin x, origin y + 1).
    EXPECT_TRUE(s.sprite.CollisionPoint(0, box, 10, 10, 1, 1, 90.0f, 11, 10));
    EXPECT_FALSE(s.sprite.CollisionPoint(0, box, 10, 10, 1, 1, 0.0f, 11, 10));
    // An angle below 0.0001 takes the unrotated path.
    EXPECT_TRUE(s.sprite.CollisionPoint(0, box, 10, 10, 1, 1, 0.00005f, 10, 11));

    // A mapped -0.5 floors to -1 in the point test but truncates to 0 in the pair test.
    MaskedSprite full({kFull}, 1, 0, 0);
    EXPECT_FALSE(full.sprite.CollisionPoint(0, box, 10, 10, 2, 2, 0, 9, 10));
    MaskedSprite pin({Rows{"#"}}, 1, 0, 0);
    const int32_t pinBox[4] = {9, 10, 9, 10};
    EXPECT_TRUE(full.sprite.CollisionSprite(0, box, 10, 10, 2, 2, 0, &pin.sprite, 0, pinBox, 9, 10, 1, 1, 0));
}

TEST(SpriteCollision, ZeroAndNonFiniteScalesAnswerFalse) {
    MaskedSprite a({kFull}, 1, 4, 4), b({kFull}, 1, 4, 4);
    const int32_t box[4] = {0, 0, 20, 20};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float bad : {0.0f, -0.0f, nan, inf}) {
        EXPECT_FALSE(a.sprite.CollisionSprite(0, box, 10, 10, bad, 1, 0, &b.sprite, 0, box, 10, 10, 1, 1, 0));
        EXPECT_FALSE(
            a.sprite.CollisionSprite(0, box, 10, 10, 1, 1, 0, &b.sprite, 0, box, 10, 10, 1, bad, 30));
        EXPECT_FALSE(a.sprite.CollisionPoint(0, box, 10, 10, bad, bad, 0, 11, 11));
        EXPECT_FALSE(a.sprite.CollisionPoint(0, box, 10, 10, bad, bad, 45, 11, 11));
        const int32_t rect[4] = {8, 8, 12, 12};
        EXPECT_FALSE(a.sprite.CollisionRectangle(0, box, 10, 10, bad, bad, 0, rect));
        EXPECT_FALSE(a.sprite.CollisionLine(0, box, 10, 10, bad, bad, 0, 5, 5, 15, 12));
    }
    EXPECT_FALSE(a.sprite.CollisionPoint(0, box, 10, 10, 1, 1, nan, 11, 11));
}

TEST(SpriteCollision, RectangleEllipseAndLineTests) {
    MaskedSprite s({kCorner}, 1, 0, 0);  // solid at (7, 7) only; instance at (0, 0)
    const int32_t box[4] = {0, 0, 7, 7};
    const int32_t covers[4] = {6, 6, 9, 9}, misses[4] = {0, 0, 6, 6};
    EXPECT_TRUE(s.sprite.CollisionRectangle(0, box, 0, 0, 1, 1, 0, covers));
    EXPECT_FALSE(s.sprite.CollisionRectangle(0, box, 0, 0, 1, 1, 0, misses));
    // Scaled by 2 the solid pixel covers room pixels 14..15.
    const int32_t box2[4] = {0, 0, 15, 15}, far[4] = {14, 14, 20, 20};
    EXPECT_TRUE(s.sprite.CollisionRectangle(0, box2, 0, 0, 2, 2, 0, far));
    // The ellipse inscribed in (6, 6)-(10, 10) holds (7, 7)? ((7-8)/2)^2 * 2 = 0.5: yes. In
    // (3, 3)-(9, 9) the corner (7, 7) is at ((7-6)/3)^2 * 2 = 0.22: yes; in (7, 3)-(13, 9), the
    // centre is (10, 6): ((7-10)/3)^2 + ((7-6)/3)^2 > 1: no.
    const int32_t e1[4] = {6, 6, 10, 10}, e2[4] = {7, 3, 13, 9};
    EXPECT_TRUE(s.sprite.CollisionEllipse(0, box, 0, 0, 1, 1, 0, e1));
    EXPECT_FALSE(s.sprite.CollisionEllipse(0, box, 0, 0, 1, 1, 0, e2));
    // A level line is the rectangle {x1, y1, x2, y1}; a diagonal walks its longer axis.
    EXPECT_TRUE(s.sprite.CollisionLine(0, box, 0, 0, 1, 1, 0, 0, 7, 20, 7));
    EXPECT_FALSE(s.sprite.CollisionLine(0, box, 0, 0, 1, 1, 0, 0, 6, 20, 6));
    EXPECT_TRUE(s.sprite.CollisionLine(0, box, 0, 0, 1, 1, 0, 0, 0, 14, 14));
    EXPECT_TRUE(s.sprite.CollisionLine(0, box, 0, 0, 1, 1, 0, 6, 5, 8, 9));  // steep
    EXPECT_FALSE(s.sprite.CollisionLine(0, box, 0, 0, 1, 1, 0, 0, 1, 14, 15));
}

TEST(SpriteCollision, SpritesWithoutMasksLeaveTheBoxAnswerStanding) {
    CSprite plain;
    plain.m_width = plain.m_height = 8;
    plain.m_frameCount = 1;
    const int32_t box[4] = {0, 0, 7, 7}, rect[4] = {0, 0, 1, 1};
    EXPECT_TRUE(plain.CollisionPoint(0, box, 0, 0, 1, 1, 0, 100, 100));
    EXPECT_TRUE(plain.CollisionRectangle(0, box, 0, 0, 1, 1, 0, rect));
    // Against a sprite the whole frame rectangle counts as solid.
    MaskedSprite corner({kCorner}, 1, 0, 0);
    EXPECT_TRUE(plain.CollisionSprite(0, box, 0, 0, 1, 1, 0, &corner.sprite, 0, box, 0, 0, 1, 1, 0));
    EXPECT_FALSE(plain.CollisionSprite(0, box, 0, 0, 1, 1, 0, nullptr, 0, box, 0, 0, 1, 1, 0));
}

TEST(SpriteMasks, ShapesFillTheClampedBoxAndAlphaComparesWithTheTolerance) {
    CSprite sprite;
    GiveFrames(sprite, 16, 16, {std::vector<uint32_t>(256, 0xFF000000u)});
    sprite.BuildCollisionMasks(true, SPRITE_BOX_MANUAL, SpriteBox{-5, 2, 100, 3}, 1, 0);
    EXPECT_EQ(sprite.m_box.left, 0);
    EXPECT_EQ(sprite.m_box.right, 15);
    EXPECT_EQ(sprite.m_boxMode, SPRITE_BOX_AUTOMATIC);  // the mode field is left alone
    ASSERT_EQ(sprite.m_maskCount, 1);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            EXPECT_EQ(sprite.m_masks[0].data[y * 16 + x], (y == 2 || y == 3) ? 1 : 0) << x << "," << y;

    // Alpha values 0, 1, 128, 129, 255 against tolerances 0 and 128.
    CSprite alpha;
    std::vector<uint32_t> pixels(5 * 1);
    const uint32_t alphas[] = {0, 1, 128, 129, 255};
    for (int i = 0; i < 5; ++i) pixels[size_t(i)] = (alphas[i] << 24) | 0x123456u;
    GiveFrames(alpha, 5, 1, {pixels});
    const struct {
        int32_t tolerance;
        uint8_t solid[5];
    } cases[] = {
        {0, {0, 1, 1, 1, 1}}, {128, {0, 0, 0, 1, 1}}, {254, {0, 0, 0, 0, 1}}, {255, {0, 0, 0, 0, 0}}};
    for (const auto& c : cases) {
        alpha.BuildCollisionMasks(true, SPRITE_BOX_FULL, SpriteBox{}, 0, c.tolerance);
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(alpha.m_masks[0].data[i], c.solid[i]) << c.tolerance << " " << i;
    }
}

TEST(SpriteMasks, EllipseDiamondAndSharedMasks) {
    CSprite sprite;
    std::vector<uint32_t> blank(25, 0), dot(25, 0);
    dot[0] = 0xFF000000u;
    GiveFrames(sprite, 5, 5, {blank, dot});
    sprite.BuildCollisionMasks(true, SPRITE_BOX_FULL, SpriteBox{}, 2, 0);
    // cx = cy = 2, rx = ry = 2.5: the corners are outside, the middle row and column inside.
    const char* ellipse = ".###.###############.###.";
    for (int i = 0; i < 25; ++i) EXPECT_EQ(sprite.m_masks[1].data[i], ellipse[i] == '#') << i;
    sprite.BuildCollisionMasks(true, SPRITE_BOX_FULL, SpriteBox{}, 3, 0);
    const char* diamond = "..#...###.#####.###...#..";
    for (int i = 0; i < 25; ++i) EXPECT_EQ(sprite.m_masks[0].data[i], diamond[i] == '#') << i;
    // Not separate: one mask, the union of the frames.
    sprite.BuildCollisionMasks(false, SPRITE_BOX_FULL, SpriteBox{}, 0, 0);
    ASSERT_EQ(sprite.m_maskCount, 1);
    EXPECT_EQ(sprite.m_masks[0].data[0], 1);
    EXPECT_EQ(sprite.m_masks[0].data[1], 0);
}

TEST(SpriteMasks, BoxModesAndGeneratedMasks) {
    CSprite sprite;
    std::vector<uint32_t> frame(16, 0);
    frame[1 * 4 + 2] = 0x01000000u;  // the only opaque pixel, at (2, 1)
    GiveFrames(sprite, 4, 4, {frame});
    sprite.m_boxMode = SPRITE_BOX_FULL;
    sprite.SetBoundingBoxMode(3);  // ignored
    EXPECT_EQ(sprite.m_boxMode, SPRITE_BOX_FULL);
    sprite.SetBoundingBoxMode(SPRITE_BOX_AUTOMATIC);
    EXPECT_EQ(sprite.m_box.left, 2);
    EXPECT_EQ(sprite.m_box.top, 1);
    EXPECT_EQ(sprite.m_box.right, 2);
    EXPECT_EQ(sprite.m_box.bottom, 1);
    sprite.SetBoundingBox(0, 0, 9, 9);  // only in manual mode
    EXPECT_EQ(sprite.m_box.right, 2);
    sprite.SetBoundingBoxMode(SPRITE_BOX_MANUAL);
    sprite.SetBoundingBox(-3, 0, 9, 9);  // not clamped
    EXPECT_EQ(sprite.m_box.left, -3);

    sprite.m_precise = false;
    sprite.SetPrecise(true);
    ASSERT_EQ(sprite.m_maskCount, 1);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(sprite.m_masks[0].data[i], i == 6 ? 1 : 0);
    sprite.SetPrecise(false);
    EXPECT_EQ(sprite.m_maskCount, 0);
}

}  // namespace
