#version 130
// Advances a UV layer by dt seconds along the flow, semi-Lagrangian: the new
// mapping at texel position x is the old mapping at x - flow(x) * dt. So the
// picture seen through the layer moves by +flow * dt, as the preview particles
// do. Positions are in texels with texel i at position i.
//
// The old mapping is interpolated by hand in full float precision: hardware
// filtering quantises the sub-texel weights (often to 1/256), which would
// stall slow flows whose step per frame is below that and skew the speed of
// the rest.
//
// Past the layer's edge the displacement (mapping minus position) is held at
// its edge value, so the layer carries positions beyond the picture (which
// the displace pass reads mirrored) instead of smearing the edge column.

uniform vec2 size;       // the target's size in texels (same as the layer's)
uniform float dt;        // seconds
uniform sampler2D image; // the UV layer being advected (RG32F)
uniform sampler2D flow;  // picture texels per second (RG32F)

vec2 displacementAt(ivec2 texel, ivec2 last) {
    ivec2 inside = clamp(texel, ivec2(0), last);
    return texelFetch(image, inside, 0).xy - vec2(inside);
}

void main() {
    ivec2 texel = ivec2(gl_FragCoord.xy);
    vec2 position = gl_FragCoord.xy - 0.5;

    ivec2 flowLast = textureSize(flow, 0) - 1;
    vec2 velocity = texelFetch(flow, clamp(texel, ivec2(0), flowLast), 0).xy;
    vec2 source = position - velocity * dt;

    ivec2 last = textureSize(image, 0) - 1;
    vec2 cornerPosition = floor(source);
    vec2 f = source - cornerPosition;
    ivec2 corner = ivec2(clamp(cornerPosition, vec2(-1.0), vec2(last + 1)));
    vec2 d00 = displacementAt(corner, last);
    vec2 d10 = displacementAt(corner + ivec2(1, 0), last);
    vec2 d01 = displacementAt(corner + ivec2(0, 1), last);
    vec2 d11 = displacementAt(corner + ivec2(1, 1), last);
    vec2 displacement = mix(mix(d00, d10, f.x), mix(d01, d11, f.x), f.y);

    gl_FragColor = vec4(source + displacement, 0.0, 1.0);
}
