#include "physics/Physics_DebugDraw.h"

#include "graphics/Graphics_Primitive.h"
#include "physics/Physics_Joint.h"
#include "physics/Physics_Object.h"
#include "physics/Physics_World.h"

namespace {

class ScreenCanvas : public PhysicsDebugCanvas {
public:
    void SetColour(uint32_t colour) override { GR_Draw_Set_Colour(colour); }
    void Line(float x1, float y1, float x2, float y2) override { GR_Draw_Line(x1, y1, x2, y2); }
    void Triangle(float x1, float y1, float x2, float y2, float x3, float y3) override {
        GR_Draw_Triangle(x1, y1, x2, y2, x3, y3, false);
    }
    void Ellipse(float x1, float y1, float x2, float y2, bool outline) override {
        GR_Draw_Ellipse(x1, y1, x2, y2, outline);
    }
};

// The library's debug walk, in metres, drawn in pixels.
class CPhysicsDebugRender : public b2Draw {
public:
    CPhysicsDebugRender(float scale, PhysicsDebugCanvas& canvas) : m_scale(scale), m_canvas(canvas) {}

    void DrawPolygon(const b2Vec2* vertices, int32 count, const b2Color& colour) override {
        m_canvas.SetColour(PhysicsDebug_Colour(colour));
        for (int32 i = 0; i < count; ++i) Line(vertices[i], vertices[(i + 1) % count]);
    }
    void DrawSolidPolygon(const b2Vec2* vertices, int32 count, const b2Color& colour) override {
        if (count < 3) return;
        m_canvas.SetColour(PhysicsDebug_Colour(colour));
        for (int32 i = 1; i + 1 < count; ++i)
            m_canvas.Triangle(X(vertices[0]), Y(vertices[0]), X(vertices[i]), Y(vertices[i]),
                              X(vertices[i + 1]), Y(vertices[i + 1]));
    }
    void DrawCircle(const b2Vec2& centre, float radius, const b2Color& colour) override {
        m_canvas.SetColour(PhysicsDebug_Colour(colour));
        Circle(centre, radius, true);
    }
    void DrawSolidCircle(const b2Vec2& centre, float radius, const b2Vec2&, const b2Color& colour) override {
        m_canvas.SetColour(PhysicsDebug_Colour(colour));
        Circle(centre, radius, false);
    }
    void DrawSegment(const b2Vec2& p1, const b2Vec2& p2, const b2Color& colour) override {
        m_canvas.SetColour(PhysicsDebug_Colour(colour));
        Line(p1, p2);
    }
    void DrawTransform(const b2Transform& xf) override {
        constexpr float kAxisLength = 0.4f;  // metres
        const b2Vec2 p = xf.p;
        m_canvas.SetColour(0x0000FF);
        Line(p, p + kAxisLength * xf.q.GetXAxis());
        m_canvas.SetColour(0xFF0000);
        Line(p, p + kAxisLength * xf.q.GetYAxis());
    }
    // The library's marks on joints: a small filled dot of the given size in pixels.
    void DrawPoint(const b2Vec2& p, float size, const b2Color& colour) override {
        m_canvas.SetColour(PhysicsDebug_Colour(colour));
        const float r = 0.5f * size;
        m_canvas.Ellipse(X(p) - r, Y(p) - r, X(p) + r, Y(p) + r, false);
    }

private:
    float X(const b2Vec2& v) const { return v.x * m_scale; }
    float Y(const b2Vec2& v) const { return v.y * m_scale; }
    void Line(const b2Vec2& a, const b2Vec2& b) { m_canvas.Line(X(a), Y(a), X(b), Y(b)); }
    void Circle(const b2Vec2& c, float radius, bool outline) {
        m_canvas.Ellipse((c.x - radius) * m_scale, (c.y - radius) * m_scale, (c.x + radius) * m_scale,
                         (c.y + radius) * m_scale, outline);
    }

    float m_scale;
    PhysicsDebugCanvas& m_canvas;
};

}  // namespace

PhysicsDebugCanvas& PhysicsDebug_Screen() {
    static ScreenCanvas screen;
    return screen;
}

uint32_t PhysicsDebug_Colour(const b2Color& colour) {
    const auto byte = [](float component) { return static_cast<int32_t>(component * 256.0f) & 0xFF; };
    return GR_Make_Colour(byte(colour.r), byte(colour.g), byte(colour.b));
}

uint32_t PhysicsDebug_LibraryFlags(uint32_t scriptFlags) {
    uint32_t flags = 0;
    if (scriptFlags & 1u) flags |= b2Draw::e_shapeBit;
    if (scriptFlags & 2u) flags |= b2Draw::e_jointBit;
    if (scriptFlags & 4u) flags |= b2Draw::e_centerOfMassBit;
    if (scriptFlags & 8u) flags |= b2Draw::e_aabbBit;
    if (scriptFlags & 64u) flags |= b2Draw::e_pairBit;
    return flags;
}

void PhysicsDebug_DrawWorld(CPhysicsWorld* world, uint32_t scriptFlags, PhysicsDebugCanvas& canvas) {
    CPhysicsDebugRender render(1.0f / world->PixelsToMetres(), canvas);
    render.SetFlags(PhysicsDebug_LibraryFlags(scriptFlags));
    world->Library().SetDebugDraw(&render);
    world->Library().DebugDraw();
    render.SetFlags(0);
    world->Library().SetDebugDraw(nullptr);
}

void PhysicsDebug_DrawObject(const CPhysicsObject* object, float s, PhysicsDebugCanvas& canvas) {
    const b2Body* body = object->Body();
    if (body == nullptr) return;
    const b2Transform& xf = body->GetTransform();
    for (const b2Fixture* fixture = body->GetFixtureList(); fixture != nullptr;
         fixture = fixture->GetNext()) {
        const b2Shape* shape = fixture->GetShape();
        if (shape->GetType() == b2Shape::e_circle) {
            // Around the body's position: the circle's own offset is not applied.
            const float r = shape->m_radius;
            canvas.Ellipse((xf.p.x - r) * s, (xf.p.y - r) * s, (xf.p.x + r) * s, (xf.p.y + r) * s, true);
        } else if (shape->GetType() == b2Shape::e_polygon) {
            const auto* polygon = static_cast<const b2PolygonShape*>(shape);
            for (int32 i = 0; i < polygon->m_count; ++i) {
                const b2Vec2 a = b2Mul(xf, polygon->m_vertices[i]);
                const b2Vec2 b = b2Mul(xf, polygon->m_vertices[(i + 1) % polygon->m_count]);
                canvas.Line(a.x * s, a.y * s, b.x * s, b.y * s);
            }
        }
    }
    for (const b2JointEdge* edge = body->GetJointList(); edge != nullptr; edge = edge->next) {
        const CPhysicsJoint* wrapper = Joint_FindByB2Joint(edge->joint);
        if (wrapper == nullptr) continue;
        b2Joint* joint = edge->joint;
        const b2Vec2 a = joint->GetAnchorA();
        switch (wrapper->kind) {
            case PHYSICS_JOINT_REVOLUTE: {
                const float x = a.x * s, y = a.y * s;
                canvas.Line(x - 2.0f, y - 2.0f, x + 2.0f, y + 2.0f);
                canvas.Line(x - 2.0f, y + 2.0f, x + 2.0f, y - 2.0f);
                break;
            }
            case PHYSICS_JOINT_PRISMATIC:
                canvas.Line(a.x * s, a.y * s, xf.p.x * s, xf.p.y * s);
                break;
            case PHYSICS_JOINT_DISTANCE: {
                const b2Vec2 b = joint->GetAnchorB();
                canvas.Line(a.x * s, a.y * s, b.x * s, b.y * s);
                break;
            }
            case PHYSICS_JOINT_PULLEY: {
                const auto* pulley = static_cast<const b2PulleyJoint*>(joint);
                const bool isA = joint->GetBodyA() == body;
                const b2Vec2 anchor = isA ? joint->GetAnchorA() : joint->GetAnchorB();
                const b2Vec2 ground = isA ? pulley->GetGroundAnchorA() : pulley->GetGroundAnchorB();
                canvas.Line(anchor.x * s, anchor.y * s, ground.x * s, ground.y * s);
                const b2Vec2 g1 = pulley->GetGroundAnchorA(), g2 = pulley->GetGroundAnchorB();
                canvas.Line(g1.x * s, g1.y * s, g2.x * s, g2.y * s);
                break;
            }
            default:
                break;
        }
    }
}
