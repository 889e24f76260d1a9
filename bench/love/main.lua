-- The LOVE side of sprites_vs_love.py: 16 x 16 sprites of one texture at scattered positions.
-- sprites (the default): 20,000 sprites, 120 timed frames after a first untimed one; prints the
-- sprites drawn per second and quits.
-- startup (the game argument "startup"): the one-room scene of 100 sprites. After the first frame
-- is presented it prints the monotonic clock (the one the bench reads when it starts the process;
-- love.timer counts from its own start) and quits. love.run is then the stock loop, cut down to
-- what a first frame needs, with the stamp after present.
local startup = false
for _, a in ipairs(arg) do
    if a == "startup" then startup = true end
end
local count, frames = startup and 100 or 20000, 120
local image, xs, ys = nil, {}, {}
local frame, started = 0, 0

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
    if startup then return end
    frame = frame + 1
    if frame == 1 then
        started = love.timer.getTime()
    elseif frame == frames + 1 then
        local elapsed = love.timer.getTime() - started
        print(string.format("sprites_per_second %.0f", count * frames / elapsed))
        love.event.quit()
    end
end

if startup then
    local ffi = require("ffi")
    ffi.cdef [[
    typedef struct { long tv_sec; long tv_nsec; } hv_timespec;
    int clock_gettime(int clock, hv_timespec* now);
    ]]
    local CLOCK_MONOTONIC = 1

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
            print(string.format("first_frame_monotonic %.6f",
                                tonumber(now.tv_sec) + tonumber(now.tv_nsec) * 1e-9))
            return 0
        end
    end
end
