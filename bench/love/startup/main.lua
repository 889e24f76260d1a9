-- The start-up side of the comparison: a one-room scene of 100 16 x 16 sprites (the positions of
-- the sprite scene). After the first frame is presented it prints the monotonic clock (the one
-- the bench reads when it starts the process; love.timer counts from its own start) and quits.
-- love.run is the stock loop, cut down to what a first frame needs, with the stamp after present.
local ffi = require("ffi")
ffi.cdef [[
typedef struct { long tv_sec; long tv_nsec; } hv_timespec;
int clock_gettime(int clock, hv_timespec* now);
]]
local CLOCK_MONOTONIC = 1
local count = 100
local image, xs, ys = nil, {}, {}

function love.load()
    local data = love.image.newImageData(16, 16)
    data:mapPixel(function() return 1, 0.125, 0.125, 1 end)
    image = love.graphics.newImage(data)
    for i = 0, count - 1 do
        xs[i + 1] = (i * 7919) % 624
        ys[i + 1] = (i * 104729) % 464
    end
end

function love.draw()
    for i = 1, count do love.graphics.draw(image, xs[i], ys[i]) end
end

function love.run()
    love.load(love.arg.parseGameArguments(arg), arg)
    love.timer.step()
    return function()
        love.event.pump()
        for name, a, b, c, d, e, f in love.event.poll() do
            if name == "quit" then return a or 0 end
            love.handlers[name](a, b, c, d, e, f)
        end
        love.graphics.origin()
        love.graphics.clear(love.graphics.getBackgroundColor())
        love.draw()
        love.graphics.present()
        local now = ffi.new("hv_timespec")
        ffi.C.clock_gettime(CLOCK_MONOTONIC, now)
        print(string.format("first_frame_monotonic %.6f", tonumber(now.tv_sec) + tonumber(now.tv_nsec) * 1e-9))
        return 0
    end
end
